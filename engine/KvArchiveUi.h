#pragma once
// What the fragment-list reader needs from the layers above the engine: the
// question before a moved source is searched for, the wait cursor, and the
// search of the undo history for a source that is already open. The engine
// links no widget code, so the program's start-up (or a test) installs these
// once; without them the reader asks nothing, shows no cursor and searches
// only the lists it is given.
#include <QString>
#include <QtGlobal>

#include <boost/shared_ptr.hpp>

#include <functional>

class KvRepackInfo;
class QUndoStack;
class QWidget;

// The buttons of the question, as QMessageBox's standard buttons.
namespace KvArchiveButton {
enum : int {
    NoButton = 0,
    Yes = 0x00004000,
    YesToAll = 0x00008000,
    No = 0x00010000,
};
}

struct KvArchiveUi {
    // Shows a modal warning box and returns the button that closed it.
    std::function<int(QWidget *parent, const QString &title, const QString &text, int buttons, int defaultButton)>
        warning;
    // A new fragment over frames first .. first+count-1 of the source with
    // that path, on a source that the commands of the undo stack hold (null
    // stack: the current document's); null when none holds it.
    std::function<boost::shared_ptr<KvRepackInfo>(QUndoStack *stack, const QString &path, qint64 first,
                                                  qint64 count)>
        findInUndoStack;
    // The application's wait cursor on and off (called in pairs).
    std::function<void()> showWaitCursor;
    std::function<void()> restoreCursor;
};

// Installs the hooks (a copy); returns the ones installed before. Install
// them before any read runs: reads on other threads use them unlocked.
KvArchiveUi setKvArchiveUi(const KvArchiveUi &ui);
const KvArchiveUi &kvArchiveUi();
