#include "KvAppUndo.h"

#include <KvFindSource.h>
#include <KvQmlModel.h>
#include <KvRepackInfo.h>

QPointer<KvQmlModel> appCurrentModel;

boost::shared_ptr<KvRepackInfo> applyWithAppUndoStack(QUndoStack *stack, const QString &sourcePath, qint64 first,
                                                      qint64 count)
{
    if (!stack && appCurrentModel)
        stack = appCurrentModel->undoStack();
    if (!stack)
        return boost::shared_ptr<KvRepackInfo>();
    return findSourceInUndoStack(stack, sourcePath, first, count);
}
