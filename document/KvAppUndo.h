#pragma once
// The program's current document model and the search of its undo history
// for sources that are already open.
#include <QPointer>
#include <QString>
#include <QtGlobal>

#include <boost/shared_ptr.hpp>

class KvQmlModel;
class KvRepackInfo;
class QUndoStack;

// The current document model: the controller sets it whenever it is given a
// model. Cleared by itself when the model is deleted.
extern QPointer<KvQmlModel> appCurrentModel;

// A new fragment over frames first .. first+count-1 of the source with that
// path, on a source that a command of the stack holds; null when none does.
// A null stack means the current model's undo stack (none: null).
boost::shared_ptr<KvRepackInfo> applyWithAppUndoStack(QUndoStack *stack, const QString &sourcePath, qint64 first,
                                                      qint64 count);
