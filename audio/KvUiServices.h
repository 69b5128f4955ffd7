#pragma once
// Everything the controller and the audio services ask of the user interface:
// message boxes, file and folder choosers, the modal dialogs they run, the
// palette the interface draws with and the window in front. They link no
// widget code: the GUI layer (views/) implements this class, the program
// installs that implementation at start-up, tests install fakes. Parents are
// opaque: a QWidget pointer is only handed on.
//
// The base class is the interface without a screen: every box is answered
// with its default button (and logged), every chooser and dialog cancelled.
// Fakes override what they need.
#include <QList>
#include <QPalette>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <boost/shared_ptr.hpp>

class KvFileProperties;
class KvFrameSizeInfo;
class KvRepackInfoPtrList;
class KvTagEditContext;
class KvTagInfo;
class KvTagProperty;
class QObject;
class QUndoStack;
class QWidget;

namespace KvUi {

// The values of QMessageBox::Icon.
enum Icon : int { NoIcon = 0, Information = 1, Warning = 2, Critical = 3, Question = 4 };

// The values of QMessageBox::StandardButton; a set of buttons is their bitwise or.
enum Button : int {
    NoButton = 0x00000000,
    Ok = 0x00000400,
    Save = 0x00000800,
    SaveAll = 0x00001000,
    Open = 0x00002000,
    Yes = 0x00004000,
    YesToAll = 0x00008000,
    No = 0x00010000,
    NoToAll = 0x00020000,
    Abort = 0x00040000,
    Retry = 0x00080000,
    Ignore = 0x00100000,
    Close = 0x00200000,
    Cancel = 0x00400000,
    Discard = 0x00800000,
    Help = 0x01000000,
    Apply = 0x02000000,
    Reset = 0x04000000,
    RestoreDefaults = 0x08000000,
};

// The values of QFileDialog::Option that the folder chooser is given.
enum FolderOption : int { ShowDirsOnly = 0x00000001, DontResolveSymlinks = 0x00000002 };

// Notices with a do-not-show-again box; each dialog writes its own flag.
enum Notice : int { ConvertWarning, SaveProjectWarning, HeAacWarning };

} // namespace KvUi

// The tag editor's arguments and, after an accepted run, its answers.
struct KvTrackPropertiesRequest {
    KvTagEditContext *context = nullptr;
    KvTagProperty *record = nullptr;          // the track, or the whole file's record
    KvFileProperties *trackList = nullptr;    // null for the whole file
    QUndoStack *undoStack = nullptr;
    bool autoTrackNumbering = true;
    QString documentType;                     // "mp3", "aac" or "m4a"
    QString title;                            // empty: the dialog's own
    QWidget *parent = nullptr;
    // Answers: the edited record (left alone when null) and the start frame of
    // the track shown last (-1 when none).
    KvTagInfo *tagInfo = nullptr;
    qint64 currentTrackStart = -1;
};

class KvUiServices {
public:
    typedef boost::shared_ptr<KvRepackInfoPtrList> ListPtr;

    KvUiServices() = default;
    virtual ~KvUiServices();
    KvUiServices(const KvUiServices &) = delete;
    KvUiServices &operator=(const KvUiServices &) = delete;

    // Prompter: a modal box titled `title`; returns the button that closed it
    // (NoButton when it was closed otherwise). buttons: or-ed KvUi::Button.
    virtual int message(QWidget *parent, KvUi::Icon icon, const QString &title, const QString &text,
                        int buttons, int defaultButton);

    // File chooser. Empty = cancelled. selectedFilter may be null.
    virtual QStringList openFileNames(QWidget *parent, const QString &caption, const QString &dir,
                                      const QString &filter, QString *selectedFilter);
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter, int options);
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter);
    // options: or-ed KvUi::FolderOption.
    virtual QString existingDirectory(QWidget *parent, const QString &caption, const QString &dir,
                                      int options);

    // Dialog runner: each runs its dialog modally and returns what exec() gave
    // (0 = rejected). The insert-silence and normalize dialogs answer the
    // controller through its completion slots before they close.
    virtual int runInsertSilence(QObject *controller, const boost::shared_ptr<KvFrameSizeInfo> &format,
                                 QWidget *parent);
    virtual int runNormalize(QObject *controller, const ListPtr &frames, QWidget *parent);
    virtual int runTrackProperties(KvTrackPropertiesRequest &request);
    virtual int runNotice(KvUi::Notice notice, QWidget *parent);
    // pitch: semitones; tempo: the dialog's slider position (50 = unchanged).
    virtual int runConvert(QObject *controller, const QList<ListPtr> &lists, QWidget *parent, int pitch,
                           int tempo, bool tracks, bool selection);
    virtual int runRecord(QObject *controller, QWidget *parent);
    // A recording dialog that is never shown, as the touch interface's recorder; owned by
    // the caller, null when there is none. It answers, by name, the invokable methods
    // startRecordingWithSettings(QString, int, int, int) -> bool,
    // takeRecording(QString) -> bool and stopRecordThread().
    virtual QObject *createRecorder(QObject *controller, QWidget *parent);
    // The rate prompt; isAutomatic: offered by the controller, not asked for by the user.
    virtual int runRateApp(bool isAutomatic, QWidget *parent);

    // Progress of long work that keeps the window alive: shows (or updates) a
    // modal progress window with the text, `value` of `maximum` done (maximum
    // 0: no measure, a busy bar) and a Cancel button. Returns false once the
    // user has cancelled. hideProgress closes it; it is also safe when none
    // is shown.
    virtual bool showProgress(QWidget *parent, const QString &text, int value, int maximum);
    virtual void hideProgress();

    // The palette the interface draws with; dark mode is read from it.
    virtual QPalette palette() const;

    // Windows: the modal dialog in front, the active top-level window, and
    // the object as a widget (null for each when there is none).
    virtual QWidget *activeModalWidget() const;
    virtual QWidget *activeWindow() const;
    virtual QWidget *widgetOf(QObject *object) const;
};

// The process-wide interface: the one installed, else a shared instance of
// the base class. Install returns the one installed before (null for none);
// null uninstalls. The installer keeps ownership.
KvUiServices &kvUi();
KvUiServices *setKvUiServices(KvUiServices *services);

// Installs services for the lifetime of the object (tests, start-up).
class KvScopedUiServices {
public:
    explicit KvScopedUiServices(KvUiServices *services) : m_before(setKvUiServices(services)) {}
    ~KvScopedUiServices() { setKvUiServices(m_before); }
    KvScopedUiServices(const KvScopedUiServices &) = delete;
    KvScopedUiServices &operator=(const KvScopedUiServices &) = delete;

private:
    KvUiServices *m_before;
};
