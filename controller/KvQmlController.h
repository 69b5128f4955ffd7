#pragma once
#include <KvEditContext.h>
#include <KvPaintMetrics.h>
#include <KvTagEditContext.h>

#include <QClipboard>
#include <QColor>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

class KvClock;
class KvInsertSilence;
class KvPlayThreadFactory;
class KvQmlModel;
class KvTagInfo;
class KvVolumeFade;
class KvVolumeSilence;
class QUndoCommand;
class QPalette;
class QSettings;
class QWidget;
class KvUiServices;

namespace boost {
namespace archive {
class text_iarchive;
class text_oarchive;
} // namespace archive
} // namespace boost

// What the controller reaches the desktop and the clock through; null members
// take the real ones (the UI services: the process-wide ones, see
// KvUiServices.h). Not owned: each must outlive the controller.
struct KvControllerSeams {
    KvUiServices *ui = nullptr;
    KvClock *clock = nullptr;
    KvPlayThreadFactory *playThreads = nullptr;
};

// The application controller: the editing and view state that is not part of
// the document (scroll position, selection, track capabilities, options),
// published through properties and change signals. The one instance is
// created by the main window, which then hands it the model. It links no
// widget code: questions, file choosers and dialogs go through its UI
// services.
class KvQmlController : public QObject,
                        public KvEditContext,
                        public KvTagEditContext,
                        public KvPaintMetrics
{
    Q_OBJECT
    Q_PROPERTY(KvQmlModel *model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(double scrollFrame READ scrollFrame WRITE setScrollFrame NOTIFY scrollFrameChanged)
    Q_PROPERTY(double selectionStart READ selectionStart WRITE setSelectionStart NOTIFY selectionStartChanged)
    Q_PROPERTY(double selectionEnd READ selectionEnd WRITE setSelectionEnd NOTIFY selectionEndChanged)
    Q_PROPERTY(bool useAutoTrackNum READ useAutoTrackNum WRITE setUseAutoTrackNum NOTIFY useAutoTrackNumChanged)
    Q_PROPERTY(QString trackNameFormat READ trackNameFormat WRITE setTrackNameFormat NOTIFY trackNameFormatChanged)
    Q_PROPERTY(double totalFrames READ totalFrames NOTIFY totalFramesChanged)
    Q_PROPERTY(bool hasSelection READ hasSelection NOTIFY hasSelectionChanged)
    Q_PROPERTY(bool hasFragments READ hasFragments NOTIFY hasFragmentsChanged)
    Q_PROPERTY(bool hasTracks READ hasTracks NOTIFY hasTracksChanged)
    Q_PROPERTY(bool canSetTrackStart READ canSetTrackStart NOTIFY canSetTrackStartChanged)
    Q_PROPERTY(bool canSetTrackEnd READ canSetTrackEnd NOTIFY canSetTrackEndChanged)
    Q_PROPERTY(bool canSplitTrack READ canSplitTrack NOTIFY canSplitTrackChanged)
    Q_PROPERTY(bool canDeleteTrack READ canDeleteTrack NOTIFY canDeleteTrackChanged)
    Q_PROPERTY(double nextTrackPoint READ nextTrackPoint NOTIFY nextTrackPointChanged)
    Q_PROPERTY(double previousTrackPoint READ previousTrackPoint NOTIFY previousTrackPointChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(int numTracks READ numTracks NOTIFY numTracksChanged)
    Q_PROPERTY(QString audioType READ audioType NOTIFY audioTypeChanged)
    Q_PROPERTY(QString currentPosFileName READ currentPosFileName NOTIFY currentPosFileNameChanged)
    Q_PROPERTY(QString lastOpenPath READ lastOpenPath WRITE setLastOpenPath NOTIFY lastOpenPathChanged)
    Q_PROPERTY(bool canPaste READ canPaste NOTIFY canPasteChanged)
    Q_PROPERTY(bool canPasteTags READ canPasteTags NOTIFY canPasteTagsChanged)
    Q_PROPERTY(bool canPasteArtworkTag READ canPasteArtworkTag NOTIFY canPasteArtworkTagChanged)
    Q_PROPERTY(QString curTrackArtworkData READ curTrackArtworkData WRITE setCurTrackArtworkData NOTIFY curTrackArtworkDataChanged)
    Q_PROPERTY(double screenDevicePixelRatio READ screenDevicePixelRatio NOTIFY screenDevicePixelRatioChanged)
    Q_PROPERTY(int volumeIncDec READ volumeIncDec WRITE setVolumeIncDec NOTIFY volumeIncDecChanged)
    Q_PROPERTY(int volumeFade READ volumeFade WRITE setVolumeFade NOTIFY volumeFadeChanged)
    Q_PROPERTY(QUrl lastOpenPathUrl READ lastOpenPathUrl WRITE setLastOpenPathUrl NOTIFY lastOpenPathUrlChanged)
    Q_PROPERTY(QColor uiWindowColor READ uiWindowColor WRITE setUiWindowColor NOTIFY uiWindowColorChanged)
    Q_PROPERTY(QColor uiTextColor READ uiTextColor WRITE setUiTextColor NOTIFY uiTextColorChanged)
    Q_PROPERTY(bool isDarkModeOption READ isDarkModeOption WRITE setIsDarkModeOption NOTIFY isDarkModeOptionChanged)
    Q_PROPERTY(bool isDarkMode READ isDarkMode NOTIFY isDarkModeChanged)
    Q_PROPERTY(QString dmDir READ dmDir NOTIFY dmDirChanged)

public:
    explicit KvQmlController(QObject *parent = nullptr, const KvControllerSeams &seams = KvControllerSeams());
    ~KvQmlController() override;

    // The seams in use.
    KvUiServices &uiServices() const;
    // The UI services of the registered controller, else the process-wide ones.
    static KvUiServices &registeredUi();
    KvClock &clock() const;
    KvPlayThreadFactory &playThreadFactory() const;

    // The program's one controller and its current model (null before).
    static KvQmlController *instance();
    static KvQmlModel *currentModel();

    KvQmlModel *model() const { return m_model; }
    void setModel(KvQmlModel *model);

    // The position truncated to a whole frame; dbScrollFrame as stored.
    double scrollFrame() const override;
    void setScrollFrame(double frame) override;
    double dbScrollFrame() const { return m_scrollFrame; }
    double selectionStart() const override { return double(m_selectionStart); }
    double selectionEnd() const override { return double(m_selectionEnd); }
    void setSelectionStart(double frame) override;
    void setSelectionEnd(double frame) override;

    bool useAutoTrackNum() const { return m_useAutoTrackNum; }
    void setUseAutoTrackNum(bool on);
    QString trackNameFormat() const { return m_trackNameFormat; }
    void setTrackNameFormat(const QString &pattern);

    double totalFrames() const;
    bool hasSelection() const;
    bool hasFragments() const;
    bool hasTracks() const { return m_hasTracks; }
    bool canSetTrackStart() const { return m_canSetTrackStart; }
    bool canSetTrackEnd() const { return m_canSetTrackEnd; }
    bool canSplitTrack() const { return m_canSplitTrack; }
    bool canDeleteTrack() const { return m_canDeleteTrack; }
    double nextTrackPoint() const { return m_nextTrackPoint; }
    double previousTrackPoint() const { return m_previousTrackPoint; }
    QString statusMessage() const { return m_statusMessage; }
    int numTracks() const { return m_numTracks; }
    QString audioType() const { return m_audioType; }
    QString currentPosFileName() const { return m_currentPosFileName; }

    // Document state publishing.
    Q_INVOKABLE void refreshDocumentState();
    void refreshAfterUndo() override;
    void updateCurrentPosFileName();
    QString updateStatusMessage();

    // Tracks.
    void onTrackInfoUpdated() override;
    void requestWidgetUpdate() override { emit updateWidget(); }
    void updateTrackCapabilities();
    void updateNumTracks();
    void updateTrackPoints();
    Q_INVOKABLE void setTrackStart(double dbFramePos);
    Q_INVOKABLE void setTrackEnd(double dbFramePos);
    Q_INVOKABLE void splitTrack(double dbFramePos);
    Q_INVOKABLE void deleteTrack(double dbFramePos);

    // Selection changes become undo entries that keep a clean stack clean
    // and never discard edits waiting to be redone. The new selection and
    // view are read from the controller; nothing happens without a document.
    void pushSelectionChange(qint64 oldScrollFrame, qint64 oldSelectionStart,
                             qint64 oldSelectionEnd, const QString &text);

    // Volume and silence edits of the selection, in gain steps (1.505 dB).
    int volumeIncDec() const { return m_volumeIncDec; }
    void setVolumeIncDec(int steps);
    int volumeFade() const { return m_volumeFade; }
    void setVolumeFade(int steps);
    Q_INVOKABLE void actionFadeInFrames();
    Q_INVOKABLE void actionFadeOutFrames();
    Q_INVOKABLE void actionVolumeIncFrames();
    Q_INVOKABLE void actionVolumeDecFrames();
    Q_INVOKABLE void actionSilenceFrames();
    Q_INVOKABLE void actionRemoveSilenceFrames();
    // Builders: a new command over the selection, not pushed, or null without
    // a usable selection or frames.
    KvVolumeFade *VolumeFadeSelection(int startVolume, int endVolume, int repeatCount);
    // A fade repeating the one just done on the same range replaces it by a
    // copy with the next repeat count (and is deleted); else it is returned.
    QUndoCommand *chainVolumeFade(QUndoCommand *command);
    // Null as well when the command would change no frame.
    KvVolumeSilence *VolumeSilenceSelection(bool removeSilencing);
    // Silence of `frames` frames at the view position; null for none.
    KvInsertSilence *insertSilence(qint64 frames);

    // Empties the document: no cursor, a new empty track list and file tag
    // property, no project file.
    Q_INVOKABLE void closeProject(bool clearStack = true, bool clearSuspendedProj = true);
    void clearSuspendedProject(QSettings &settings);

    // The tail of a project file: track count, the tracks and the whole-file
    // tag property, as pointers. Loading with `install` replaces the model's
    // track list and file tags; otherwise everything read is dropped. Archive
    // errors propagate as the archive library's exceptions.
    void saveProjectTracks(boost::archive::text_oarchive &ar) const;
    void loadProjectTracks(boost::archive::text_iarchive &ar, bool install);

    Q_INVOKABLE void readSettings();
    Q_INVOKABLE void writeSettings();

    // Folders.
    QString lastOpenPath() const { return m_lastOpenPath; }
    void setLastOpenPath(const QString &folder);
    // The folder of the given file becomes the start of the next Open dialog.
    void rememberOpenFolder(const QString &path);

    // Clipboards. The frame clipboard text starts with this prefix.
    static bool isClipboardFormat(const QString &text);
    bool canPaste() const { return m_canPaste; }
    bool canPasteTags() const { return m_canPasteTags; }
    bool canPasteArtworkTag() const override { return m_canPasteArtworkTag; }
    // True when the clipboard text is a tag record and was read into
    // `record` (the MP3-only fields only for MP3 documents).
    bool tagInfoFromClipboardXml(KvTagInfo &record) const;

    // The current track's artwork as artwork text (URL-safe Base64, no "=").
    QString curTrackArtworkData() const override { return m_curTrackArtworkData; }
    void setCurTrackArtworkData(const QString &text) override;
    Q_INVOKABLE void copyArtworkDataTag() override;
    Q_INVOKABLE void pasteArtworkDataTag() override;
    Q_INVOKABLE void actionOpenImage() override;
    Q_INVOKABLE void actionImportImage();
    // The image-or-audio open dialog; a choice goes to importArtworkImage.
    void actionImportImages(bool import);
    // Takes the cover of the first file (an audio file's embedded picture or
    // a JPEG/PNG image). On failure the artwork is cleared and false returned.
    bool importArtworkImage(const QStringList &files, bool &removeAfter);

    // Painting.
    int checkPainterPixelRatio(QPainter *painter) override;
    static double devicePixelRatioFor(KvQmlController *controller);
    double devicePixelRatio() override { return devicePixelRatioFor(this); }
    double screenDevicePixelRatio() const { return m_screenDevicePixelRatio; }

    // KvTagEditContext
    QObject *tagEditNotifier() override { return this; }
    KvPaintMetrics *paintMetrics() override { return this; }

    // File dialogs.
    QUrl lastOpenPathUrl() const;
    void setLastOpenPathUrl(const QUrl &url);
    // Where the user's audio files are expected: Music, else Documents, else empty.
    static QString defaultFilesPath();
    Q_INVOKABLE QString defaultFilesDirectory() const;
    // The save dialog of export, project save-as, recording and conversion; format is
    // the output word ("mp3", "m4a", "aac", "adts", "wav", "kvlproj"). Empty = cancelled.
    // Called by name by the conversion worker. Through the registered controller's UI
    // services (the process-wide ones without a controller).
    Q_INVOKABLE static QString getAudioSaveFileName(QWidget *parent, const QString &caption,
                                                    const QString &dir, const QString &format);

    // Conversion: the folder of the last conversion output ("Settings/lastConvertPath",
    // empty when none), the folder picker, and the help flags set after a success.
    // The conversion worker calls these by name.
    Q_INVOKABLE QString lastConvertPath() const;
    Q_INVOKABLE void setLastConvertPath(const QString &folder);
    // options: or-ed KvUi::FolderOption (QFileDialog's values). Empty = cancelled.
    Q_INVOKABLE static QString getExistingDirectory(QWidget *parent, const QString &caption,
                                                    const QString &dir, int options);
    Q_INVOKABLE void afterExportOrConvert(bool exportDone, bool convertDone);

    // Time texts: milliseconds as "h:mm:ss.zzz" or, when allowed, the short forms
    // "ss.zzz" / "mm:ss.zzz"; not exact rounds to hundredths.
    static QString timeToString(qint64 ms, bool allowShort, bool exact);

    // Appearance.
    QColor uiWindowColor() const { return m_uiWindowColor; }
    void setUiWindowColor(const QColor &color);
    QColor uiTextColor() const { return m_uiTextColor; }
    void setUiTextColor(const QColor &color);
    bool isDarkModeOption() const { return m_isDarkModeOption; }
    void setIsDarkModeOption(bool on);
    bool isDarkMode() const { return m_isDarkMode; }
    QString dmDir() const;
    void loadPaletteColors(QColor &windowColor, QColor &textColor) const;
    // The colour to draw for value in the current mode (lightness mirrored when dark).
    Q_INVOKABLE QColor darkModeColor(QColor value) const;
    // The same through the registered controller; value unchanged when there is none.
    static QColor registeredDarkModeColor(const QColor &value);
    static bool registeredIsDarkMode();

public slots:
    void ClipboardChanged(QClipboard::Mode mode) override;
    // Dialog completions, run under the lock their actions hold: the frame
    // count to insert at the view position, and the normalize change in gain
    // steps with its text in dB (0 when cancelled).
    void stateActionInsertSilenceDlg_Finished(qint64 frames);
    void stateActionNormalizeDlg_Finished(int steps, const QString &dbText);
    void CheckIsDarkMode(const QPalette &pal);

signals:
    void modelChanged(KvQmlModel *model);
    void scrollFrameChanged(double scrollFrame);
    void selectionStartChanged(double selectionStart);
    // Carries the low 32 bits of the end frame.
    void selectionEndChanged(int selectionEnd);
    void useAutoTrackNumChanged(bool useAutoTrackNum);
    void trackNameFormatChanged(QString trackNameFormat);
    void totalFramesChanged(double totalFrames);
    void hasSelectionChanged(bool hasSelection);
    void hasFragmentsChanged(bool hasFragments);
    void hasTracksChanged(bool hasTracks);
    void canSetTrackStartChanged(bool canSetTrackStart);
    void canSetTrackEndChanged(bool canSetTrackEnd);
    void canSplitTrackChanged(bool canSplitTrack);
    void canDeleteTrackChanged(bool canDeleteTrack);
    void nextTrackPointChanged(double nextTrackPoint);
    void previousTrackPointChanged(double previousTrackPoint);
    void statusMessageChanged(QString statusMessage);
    void numTracksChanged(int numTracks);
    void audioTypeChanged(QString audioType);
    void currentPosFileNameChanged(QString currentPosFileName);
    void lastOpenPathChanged(QString lastOpenPath);
    void canPasteChanged(bool canPaste);
    void canPasteTagsChanged(bool canPasteTags);
    void canPasteArtworkTagChanged(bool canPasteArtworkTag);
    void curTrackArtworkDataChanged(QString curTrackArtworkData);
    void screenDevicePixelRatioChanged(double screenDevicePixelRatio);
    void volumeIncDecChanged(int volumeIncDec);
    void volumeFadeChanged(int volumeFade);
    void lastOpenPathUrlChanged(QUrl lastOpenPathUrl);
    void uiWindowColorChanged(QColor uiWindowColor);
    void uiTextColorChanged(QColor uiTextColor);
    void isDarkModeOptionChanged(bool isDarkModeOption);
    void isDarkModeChanged(bool isDarkMode);
    void dmDirChanged(QString dmDir);
    void selectionChanged();
    void TrackInfoUpdated();
    void calcViews();
    void updateWidget();

protected:
    // Asks for files to open through the UI services; tests may answer here instead.
    virtual QStringList chooseOpenFileNames(const QString &title, const QString &filter);
    // The parent of the controller's dialogs (opaque): the modal dialog in
    // front, else the main window, else the active window.
    QWidget *dialogParent() const;

private:
    void setScreenDevicePixelRatio(double ratio);
    qint64 documentFrames() const;
    // What a track action at the current position is tested against.
    qint64 trackCapabilityPosition() const;
    void pushTrackCommand(class KvTrackInfoUndo *command);
    void setCurrentPosFileName(const QString &name);
    // Lock, wait cursor, build, push: the envelope of the volume edits.
    void runFadeAction(int startVolume, int endVolume, const QString &text, bool chain);
    void runSilenceAction(bool removeSilencing);
    // The selection when it is usable for an edit and the document has frames.
    bool editRange(qint64 &start, qint64 &end) const;

    KvControllerSeams m_seams;
    KvQmlModel *m_model = nullptr;
    double m_scrollFrame = 0.0;
    qint64 m_selectionStart = -1;
    qint64 m_selectionEnd = -1;
    bool m_useAutoTrackNum = true;
    QString m_trackNameFormat = QStringLiteral("%0N %T");

    // What the views were last told; the impossible start values make the
    // first refresh announce.
    double m_publishedTotalFrames = 0.0;
    qint64 m_publishedSelectionStart = -2;
    qint64 m_publishedSelectionEnd = -3;
    bool m_selectionPublished = false;
    bool m_publishedFragments = false;

    bool m_hasTracks = false;
    bool m_canSetTrackStart = false;
    bool m_canSetTrackEnd = false;
    bool m_canSplitTrack = false;
    bool m_canDeleteTrack = false;
    double m_nextTrackPoint = -1.0;
    double m_previousTrackPoint = -1.0;
    QString m_statusMessage;
    int m_numTracks = -1;
    QString m_audioType;
    QString m_currentPosFileName;
    QString m_suspendedFile;
    QString m_lastOpenPath;

    bool m_canPaste = false;
    bool m_canPasteTags = false;
    bool m_canPasteArtworkTag = false;
    QString m_curTrackArtworkData;

    int m_volumeIncDec = 4;
    int m_volumeFade = 4;

    int m_painterPixelRatio = 1;
    double m_screenDevicePixelRatio = 0.0;
    QColor m_uiWindowColor;
    QColor m_uiTextColor;
    bool m_isDarkModeOption = false;
    bool m_isDarkMode = false;
};
