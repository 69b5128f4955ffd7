#pragma once
// One conversion of the whole document, the selection or every track: the lists are
// decoded and re-encoded one after another, each on its own KvDecodeThread, with one
// combined progress figure; then the result is saved as one file or one file per track
// with the tags copied in. Lives on the GUI thread; questions and errors are modal boxes
// shown through the UI services. The controller is reached by name only (its remembered
// folders, options and save dialog), so that this layer does not depend on it.
#include "AudioInfo.h"
#include "audio_preset.h"

#include <QAudioFormat>
#include "KvTrackUI.h"
#include "KvUiServices.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <boost/shared_ptr.hpp>

class KvDecodeThread;
class KvQmlModel;
class KvRepackInfoPtrList;
class QWidget;

class KvConvertWorker : public QObject {
    Q_OBJECT
public:
    typedef boost::shared_ptr<KvRepackInfoPtrList> ListPtr;

    // controller: the application controller (null: none; nothing is remembered then).
    // ui: null for the process-wide UI services.
    KvConvertWorker(QObject *controller, const QList<ListPtr> &lists, QWidget *dialogParent,
                    KvUiServices *ui = nullptr);
    ~KvConvertWorker() override;

    // Prepares the next list's decode thread (the caller starts it). Always true.
    bool startDecode(const KvAudioLibPtr &encoder, const audio_preset &preset, double tempo,
                     double pitch);
    // Stops and deletes the current decode thread; returns promptly even while paused.
    virtual void stop();
    // Saves the single output; empty fileName asks. True when the file was written.
    bool saveConvertedFile(const QString &fileName);
    // One file per track into the folder; empty folderName asks. True when it ended normally.
    bool convertTracks(const QString &folderName);

    KvDecodeThread *decodeThread = nullptr;
    bool started = false;
    bool selection = false;
    bool tracks = false;

    QAudioFormat outputFormat() const { return m_format; }
    // The file written by the last single-file save; the folder of the last track save.
    QString savedFile() const { return m_savedFile; }
    QString savedFolder() const { return m_folder; }
    QStringList savedFiles() const { return m_savedFiles; }
    int outputCount() const { return m_outputs.size(); }
    // Percent of the whole run from the current list's own percent.
    int combinedPercent(qint64 percent) const;

signals:
    void raiseConvertSaveFinished();
    void raiseConvertFinished(bool savedOk);
    void raiseDecodeProgress(int percent);

public slots:
    void convertFinished();
    void decodeProgress(int percent);

    void stateActionDoNothing(int) {}
    bool stateActionConvertFileFailedWriteTagInfoW_Finished(int answer);
    void stateActionConvertFileAskSendQ_Finished(int answer);
    void stateActionConvertTracksNumUnassignW_Finished(int answer);
    bool stateActionConvertTrackLoop(int trackNum, int ui = TrackUiAsk, int uiAnswer = 0);
    void stateActionConvertTracksOverwriteW_Finished(int answer);
    void stateActionConvertTracksFailedWriteTagInfoW_Finished(int answer);
    bool stateActionConvertTracksCheckFailed();
    bool stateActionConvertTracksAskSend();
    bool stateActionConvertTracksFinal(const QString &folderName);
    void stateActionConvertTracksAskSendQ_Finished(int answer);
    void stateActionCancelConvertQ_Finished(int answer);

private:
    static void restoreCursors();
    static void setBusyCursor();
    int message(KvUi::Icon icon, const QString &text, int buttons = KvUi::Ok,
                int defaultButton = KvUi::NoButton);
    KvUiServices &ui() const { return m_ui ? *m_ui : kvUi(); }
    // The controller's options and folders, read by name.
    bool useAutoTrackNum() const;
    QString trackNameFormat() const;
    void rememberConvertFolder(const QString &folder, bool exported, bool converted);
    QString outputExtension() const;
    QString startFolder() const;
    void runTracksFrom(int first, int ui, int uiAnswer);
    bool closingSteps();

    QAudioFormat m_format;
    QList<ListPtr> m_lists;
    int m_listsStarted = 0;
    qint64 m_totalFrames = 0;
    qint64 m_doneFrames = 0;
    qint64 m_currentFrames = 0;
    qint64 m_decodePercent = 0;
    qint64 m_lastPercent = 0;
    double m_tempo = 1.0;
    double m_pitch = 0.0;
    QList<KvTempFilePtr> m_outputs;
    QWidget *m_dialogParent;
    KvQmlModel *m_model = nullptr;
    QObject *m_controller;
    KvUiServices *m_ui;
    KvAudioLibPtr m_encoder;
    audio_preset m_preset;
    QString m_savedFile;

    int m_trackCount = 0;
    bool m_failed = false;
    int m_unassignedCount = 0;
    QString m_failMessages;
    QString m_unassignedNames;
    bool m_skipNoTracksMessage = false;
    int m_currentTrack = 0;
    QString m_folder;
    int m_overwriteAnswer = 0;
    int m_successCount = 0;
    QStringList m_savedFiles;
};
