#pragma once
// Finding a source file that the undo history still holds open, so that
// opening or loading it again shares the open source instead of indexing
// the file anew.
#include <QString>
#include <QtGlobal>

#include <boost/shared_ptr.hpp>

class KvRepackInfo;
class QUndoCommand;
class QUndoStack;

// A new fragment over frames first .. first+count-1 (count -1: to the end)
// of the source with that path, on the source held by a command of the stack
// (undone ones included, from the oldest); null when none holds it.
boost::shared_ptr<KvRepackInfo> findSourceInUndoStack(const QUndoStack *stack, const QString &path, qint64 first,
                                                      qint64 count);

// The same within one command: its own fragment lists in order, then its
// child commands, depth first in child order.
boost::shared_ptr<KvRepackInfo> findSourceInCommand(const QUndoCommand *command, const QString &path, qint64 first,
                                                    qint64 count);
