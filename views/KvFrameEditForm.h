#pragma once
// The editor panel in the middle of the main window: the frame display with
// its caret ruler, the overview map with its ruler, the selection buttons, the
// play-position and selection-span displays, the level meter, the track
// buttons and the track and part information fields. It keeps no editing
// state: what it shows comes from the controller and the model, and what the
// user does goes to the controller or out as signals to the main window.
#include <QString>
#include <QWidget>

#include <boost/shared_ptr.hpp>

#include <memory>

class KvAudioFragmentList;
class KvFrameMapView;
class KvFrameRulerView;
class KvFrameWidget;
class KvQmlController;
class KvQmlModel;
class KvRepackInfo;
class KvTagProperty;
class KvVuMeter;
class QWheelEvent;
namespace Ui { class FrameEditForm; }

// A time shown while playing changes once a second: the first report of each
// new second is shown as that whole second, the reports after it not at all.
struct KvSecondTicker {
    struct Tick {
        qint64 ms = 0;          // the time to show
        bool wholeSecond = false;
        bool show = true;
    };
    Tick next(qint64 ms, bool playing);
    // "0:01:23.00" as "0:01:23.  " for a whole second while playing.
    static QString text(const Tick &tick);
    qint64 last = 0;
};

// What one turn of the wheel over the panel does, by the modifiers held.
struct KvWheelStep {
    enum Kind { VerticalZoom, VerticalShift, HorizontalZoom, StepFrames };
    Kind kind = StepFrames;
    bool flag = false;  // zoom in, or shift up (wheel toward the user)
    int frames = 0;     // for StepFrames: negative toward the document start
    // delta: eighths of a degree, positive away from the user.
    static KvWheelStep of(int delta, Qt::KeyboardModifiers modifiers, int wheelScrollLines, double pixelsPerFrame);
};

class KvFrameEditForm : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(KvQmlModel *model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(KvQmlController *controller READ controller WRITE setController NOTIFY controllerChanged)

public:
    explicit KvFrameEditForm(QWidget *parent = nullptr);
    ~KvFrameEditForm() override;

    KvQmlModel *model() const { return m_model; }
    void setModel(KvQmlModel *model);
    KvQmlController *controller() const { return m_controller; }
    void setController(KvQmlController *controller);

    // Hands the document to the views and shows its start, or with keepPlace
    // the controller's present position and selection.
    void attachViews(const boost::shared_ptr<KvAudioFragmentList> &fragments, bool keepPlace = false);
    // Fill or clear the track and part fields (null and zeros clear them).
    void updateTrackInfo(KvTagProperty *track, int index);
    void updatePartInfo(const boost::shared_ptr<KvRepackInfo> &fragment, qint64 localIndex, qint64 partNo);
    void clearCachedPart();
    void handleWheelEvent(QWheelEvent *event);

    KvFrameWidget *frameWidget() const;
    KvFrameMapView *mapView() const;
    KvFrameRulerView *caretRuler() const;
    KvFrameRulerView *mapRuler() const;
    KvVuMeter *vuMeter() const;

    // Frames as milliseconds of the document's format.
    static qint64 framesToMs(qint64 frames, int samplesPerFrame, int sampleRate);

signals:
    void modelChanged(KvQmlModel *model);
    void controllerChanged(KvQmlController *controller);
    void RaisePlay();
    void RaisePlaySelection();
    void RaiseStop();
    void RaisePlayFinished();
    void RaiseSetTrackStart(qint64 framePos);
    void RaiseSetTrackEnd(qint64 framePos);
    void RaiseSplitTrack(qint64 framePos);
    void RaiseDeleteTrack(qint64 framePos);
    void RaiseTrackInfoUpdated();
    void RaiseCalcEnabledActions();

public slots:
    void TrackInfoUpdated();
    void CalcViews();
    void VolumeChanged(double value);
    void PitchChanged(double value);
    void TempoChanged(double value);
    void PlayClicked();
    void PlaySelectionClicked();
    void StopClicked();
    void Play(bool bPlaySelection);
    void StartPlay();
    void ResumePlay();
    void PlaySelection();
    void Pause();
    void Stop();
    void CheckAudioScrubCursor();
    void RewindBeginning();
    void FowardEnd();
    void ScrollValueChanged(qint64 value);
    void SelectionChanged();
    void SelectAll();
    void PlayPositionChanged_triggered(double nNewPosition, qint16 volLeft, qint16 volRight);
    void playStateChanged(int playState);
    void isPlayingChanged(bool isPlaying);

private slots:
    void on_buttonTrackStart_clicked();
    void on_buttonTrackEnd_clicked();
    void on_buttonTrackSplit_clicked();
    void on_buttonDeleteTrack_clicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    qint64 currentPosition() const;
    void refresh() { ScrollValueChanged(currentPosition()); }
    void showBlank();
    void fitLcdDigits(int digits);
    bool hasDocument() const;
    // The first source's format, or false when it is unknown.
    bool documentFormat(int *samplesPerFrame, int *sampleRate) const;
    void equaliseWidths();

    std::unique_ptr<Ui::FrameEditForm> ui;
    KvQmlModel *m_model = nullptr;
    KvQmlController *m_controller = nullptr;

    KvTagProperty *m_cachedTrack = nullptr;
    int m_cachedTrackIndex = 0;
    boost::shared_ptr<KvRepackInfo> m_cachedFragment;
    qint64 m_cachedLocalIndex = -1;
    qint64 m_cachedPartNo = 0;
    double m_msPerFrame = 0.0;
    KvSecondTicker m_sourceTicker;  // the source location while playing
    KvSecondTicker m_playTicker;    // the play position while playing
};
