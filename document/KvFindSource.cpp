#include "KvFindSource.h"

#include "KvUndoBase.h"

#include <KvRepackInfo.h>
#include <KvRepackInfoPtrList.h>

#include <QUndoStack>

boost::shared_ptr<KvRepackInfo> findSourceInCommand(const QUndoCommand *command, const QString &path, qint64 first,
                                                    qint64 count)
{
    const KvUndoBase *undo = dynamic_cast<const KvUndoBase *>(command);
    if (!undo)
        return boost::shared_ptr<KvRepackInfo>();
    for (const boost::shared_ptr<KvRepackInfoPtrList> &list : undo->heldLists()) {
        if (!list)
            continue;
        if (boost::shared_ptr<KvRepackInfo> fragment = list->createFragmentForSource(path, first, count))
            return fragment;
    }
    for (int i = 0; i < command->childCount(); ++i) {
        if (boost::shared_ptr<KvRepackInfo> fragment = findSourceInCommand(command->child(i), path, first, count))
            return fragment;
    }
    return boost::shared_ptr<KvRepackInfo>();
}

boost::shared_ptr<KvRepackInfo> findSourceInUndoStack(const QUndoStack *stack, const QString &path, qint64 first,
                                                      qint64 count)
{
    if (!stack)
        return boost::shared_ptr<KvRepackInfo>();
    for (int i = 0; i < stack->count(); ++i) {
        if (boost::shared_ptr<KvRepackInfo> fragment = findSourceInCommand(stack->command(i), path, first, count))
            return fragment;
    }
    return boost::shared_ptr<KvRepackInfo>();
}
