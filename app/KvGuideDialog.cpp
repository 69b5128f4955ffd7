#include "KvGuideDialog.h"

#include "MyApplication.h"
#include "ui_KvGuideDialog.h"

#include <KvManual.h>
#include <KvQmlController.h>

#include <QBitmap>
#include <QCoreApplication>
#include <QGraphicsDropShadowEffect>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QSettings>
#include <QToolTip>

#include <cmath>

QList<KvGuideEntry *> KvGuideDialog::guideList;

namespace {

// The table lives as long as the program and its rows go with it; defined
// after the list, so it is destroyed before it.
struct GuideListOwner {
    ~GuideListOwner()
    {
        qDeleteAll(KvGuideDialog::guideList);
        KvGuideDialog::guideList.clear();
    }
} guideListOwner;

const QString textStyle = QStringLiteral("font-size:large; ");

// The gain steps that the fade and volume commands apply until the user picks
// others in the options; the guides quote them in decibels.
constexpr int defaultGainSteps = 4;

QString stepsInDb(int steps)
{
    return QString::number(qRound(20.0 * std::log10(std::pow(2.0, steps / 4.0))));
}

} // namespace

KvGuideDialog::KvGuideDialog(const QString &id, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    ui = new Ui::KvGuideDialog;
    ui->setupUi(this);
    for (const KvGuideEntry *entry : qAsConst(guideList)) {
        if (entry->id == id) {
            setGuideText(entry->guideType, entry->title, entry->text, entry->moreText);
            guideFound = true;
            guideId = id;
            return;
        }
    }
    setGuideText(1, tr("Unknown id"), tr("<p>Unknown message</p>"), QString());
    guideFound = false;
}

KvGuideDialog::~KvGuideDialog() { delete ui; }

void KvGuideDialog::setGuideText(int type, const QString &newTitle, const QString &newText,
                                 const QString &newMoreText)
{
    m_guideType = type;
    title = newTitle;
    text = newText;
    moreText = newMoreText;
    ui->labelGuideTitle->setText(
        QStringLiteral("<html><head/><body style=\" font-family:'Verdana'; font-style:normal; %2\"><p><span "
                       "style=\" font-weight:600; color:#ffffff;\">%1</span></p></body></html>")
            .arg(title)
            .arg(QStringLiteral("font-size:x-large; ")));
    ui->labelGuideText->setText(
        QStringLiteral("<html><head/><body style=\" font-family:'Verdana'; font-style:normal; %2\">%1</body></html>")
            .arg(text)
            .arg(textStyle));
    dragging = expanded = false;
    stopPressed = stopDown = nextPressed = nextDown = false;
    tipX = tipY = 0;

    // The label owns the effect it shows.
    auto *shadow = new QGraphicsDropShadowEffect(ui->labelGuideTitle);
    shadow->setBlurRadius(1.0);
    shadow->setOffset(2.0, 2.0);
    ui->labelGuideTitle->setGraphicsEffect(shadow);

    if (m_guideType == 0) {
        stopImage.load(QStringLiteral(":/Resources/stop_guide.png"));
        stopDownImage.load(QStringLiteral(":/Resources/stop_guide_down.png"));
        nextImage.load(QStringLiteral(":/Resources/play_guide.png"));
        nextDownImage.load(QStringLiteral(":/Resources/play_guide_down.png"));
    } else {
        stopImage.load(QStringLiteral(":/Resources/close_guide_upgrade.png"));
        stopDownImage.load(QStringLiteral(":/Resources/close_guide_upgrade_down.png"));
        nextImage = stopImage;
        nextDownImage = stopDownImage;
    }
    setAttribute(Qt::WA_MouseTracking);
}

QRect KvGuideDialog::stopButtonRect() const
{
    const int w = width();
    const int h = height();
    return m_guideType == 0 ? QRect(w / 2 - 12, h - 70, 16, 16) : QRect(w - 70, h - 70, 16, 16);
}

QRect KvGuideDialog::nextButtonRect() const
{
    if (m_guideType != 0)
        return QRect();
    return QRect(width() / 2 + 12, height() - 70, 16, 16);
}

void KvGuideDialog::showGuide(QRect anchor, QRect window)
{
    // A point anchor is touched exactly; a control is overlapped a little.
    const int m = anchor.width() > 0 ? 5 : 0;
    adjustSize();
    const int w = width();
    const int h = height();
    const int spaceAbove = anchor.top() - window.top();
    const int spaceBelow = window.bottom() - anchor.bottom();
    const int spaceLeft = anchor.left() - window.left();
    const int spaceRight = window.right() - anchor.right();

    // The bubble goes where the window has more room; ties go below and right.
    const bool above = spaceAbove > spaceBelow;
    const bool left = spaceLeft > spaceRight;
    const int x = left ? anchor.left() + m - w : anchor.right() - m;
    const int y = above ? anchor.top() + m - h : anchor.bottom() - m;
    tipX = left ? w : 0;
    tipY = above ? h : 0;
    move(x, y);
    updateMask();
}

void KvGuideDialog::resizeEvent(QResizeEvent *event)
{
    Q_UNUSED(event);
    updateMask();
}

void KvGuideDialog::updateMask()
{
    const int w = width();
    const int h = height();
    QBitmap bitmap(w, h);
    bitmap.fill(Qt::color0);
    {
        QPainter painter(&bitmap);
        painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));
        painter.drawRoundedRect(40, 40, w - 80, h - 80, 20, 30, Qt::RelativeSize);

        // The pointer's base lies across the body, turned so that the pointer
        // leaves the body on the side that faces the tip.
        const double r = double(w) / double(h);
        const double a = tipX / r;
        bool verticalBase;
        if (a > tipY)
            verticalBase = a > h - tipY;
        else
            verticalBase = !(tipY > (w - tipX) / r);
        QPolygon pointer;
        pointer << QPoint(tipX, tipY);
        if (verticalBase)
            pointer << QPoint(w / 2, h / 4) << QPoint(w / 2, (3 * h) / 4);
        else
            pointer << QPoint(w / 4, h / 2) << QPoint((3 * w) / 4, h / 2);
        painter.drawPolygon(pointer, Qt::OddEvenFill);
    }
    setMask(bitmap);
}

void KvGuideDialog::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    const int w = width();
    const int h = height();
    const QColor base = KvQmlController::registeredDarkModeColor(m_guideType == 0 ? QColor(170, 220, 130, 255)
                                                                                   : QColor(129, 247, 243, 255));
    QLinearGradient gradient(w / 2, 0, w / 2, h);
    gradient.setColorAt(0.0, base.darker(120));
    gradient.setColorAt(0.6, base);
    gradient.setColorAt(1.0, base.darker(140));
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, w, h), gradient);
    painter.drawPixmap(stopButtonRect(), stopDown ? stopDownImage : stopImage);
    if (m_guideType == 0)
        painter.drawPixmap(nextButtonRect(), nextDown ? nextDownImage : nextImage);
}

void KvGuideDialog::on_labelGuideText_linkActivated(QString link)
{
    if (link == QLatin1String("#more")) {
        if (expanded || moreText.isEmpty())
            return;
        QPoint position = pos();
        const QSize before = size();
        ui->labelGuideText->setText(
            QStringLiteral(
                "<html><head/><body style=\" font-family:'Verdana'; font-style:normal; %3\">%1%2</body></html>")
                .arg(text, moreText, textStyle));
        adjustSize();
        const int dw = width() - before.width();
        const int dh = height() - before.height();
        // The bubble grows away from its tip, which stays on the same screen point.
        if (tipX == before.width()) {
            position.rx() -= dw;
            tipX += dw;
        }
        if (tipY == before.height()) {
            position.ry() -= dh;
            tipY += dh;
        }
        expanded = true;
        move(position);
        updateMask();
    } else if (link == QLatin1String("#lame")) {
        // The manual's FAQ tells how to use another LAME encoder.
        openManual(this);
    }
}

bool KvGuideDialog::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    if (stopButtonRect().contains(help->pos())) {
        QToolTip::showText(help->globalPos(), m_guideType == 0 ? tr("Stop displaying popups") : tr("Dismiss popup"));
    } else if (m_guideType == 0 && nextButtonRect().contains(help->pos())) {
        QToolTip::showText(help->globalPos(), tr("Show next popup guide"));
    } else {
        QToolTip::hideText();
        event->ignore();
    }
    return true;
}

void KvGuideDialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (stopButtonRect().contains(event->pos())) {
        stopPressed = stopDown = true;
        update(stopButtonRect());
    } else if (m_guideType == 0 && nextButtonRect().contains(event->pos())) {
        nextPressed = nextDown = true;
        update(nextButtonRect());
    } else {
        dragOffset = event->globalPos() - frameGeometry().topLeft();
        dragging = true;
    }
    event->accept();
}

void KvGuideDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint p = event->pos();
    if (stopPressed && stopDown && !stopButtonRect().contains(p)) {
        stopDown = false;
        update(stopButtonRect());
    } else if (stopPressed && !stopDown && stopButtonRect().contains(p)) {
        stopDown = true;
        update(stopButtonRect());
    } else if (m_guideType == 0 && nextPressed && nextDown && !nextButtonRect().contains(p)) {
        nextDown = false;
        update(nextButtonRect());
    } else if (m_guideType == 0 && nextPressed && !nextDown && nextButtonRect().contains(p)) {
        nextDown = true;
        update(nextButtonRect());
    } else if (!stopPressed && !nextPressed && dragging) {
        move(event->globalPos() - dragOffset);
    }
    event->accept();
}

void KvGuideDialog::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        if (stopButtonRect().contains(event->pos()) && stopPressed) {
            emit guideClosing(guideId, m_guideType == 0);
            close();
        } else if (m_guideType == 0 && nextButtonRect().contains(event->pos()) && nextPressed) {
            emit guideClosing(guideId, false);
            close();
        }
        event->accept();
    }
    stopPressed = nextPressed = dragging = false;
}

QWidget *KvGuideDialog::mainWindowParent() const
{
    QWidget *p = parentWidget();
    return p && p->inherits("MainWindow") ? p : nullptr;
}

// Keys go on to the window, so that its keyboard commands (Space plays and
// pauses) keep working while a bubble is active.
void KvGuideDialog::keyPressEvent(QKeyEvent *event)
{
    if (QWidget *window = mainWindowParent())
        QCoreApplication::sendEvent(window, event);
}

void KvGuideDialog::keyReleaseEvent(QKeyEvent *event)
{
    if (QWidget *window = mainWindowParent())
        QCoreApplication::sendEvent(window, event);
}

void KvGuideDialog::addGuide(const QString &id, int guideType, const QString &title, const QString &text,
                             const QString &moreText)
{
    guideList.append(new KvGuideEntry{id, guideType, title, text, moreText});
}

QString KvGuideDialog::nextUnshownGuideId()
{
    QSettings settings;
    for (const KvGuideEntry *entry : qAsConst(guideList)) {
        if (!settings.value(QStringLiteral("Warnings/GuideDialogShown-%1").arg(entry->id), false).toBool())
            return entry->id;
    }
    return QString();
}

void KvGuideDialog::initGuides()
{
    qDeleteAll(guideList);
    guideList.clear();
    const QString defaultStepsDb = stepsInDb(defaultGainSteps);

    addGuide(QStringLiteral("welcome"), 1, tr("Welcome to '%1'").arg(applicationName),
             tr("<p>Thank you for using <b>'%1'</b>.  If you need help at any stage you can view the online manual "
                "in PDF format using the indicated button.</p>"
                "<p>You will also be guided by these popup guides along the way which will show you how to quickly "
                "use the various commands available.</p>"
                "<p>We hope you enjoy using this app, have fun!</p>").arg(applicationName),
             QString());
    addGuide(QStringLiteral("options"), 0, optionsDialogName,
             tr("<p>In the <b>%1</b> dialog you will see the various settings available. You can also turn on or off "
                "these popup guides there if you wish.</p>"
                "<p>You can also stop these popup guides at any time by pressing the square stop button below or "
                "continue with the next help by pressing the triangular next button below.</p>").arg(optionsDialogName),
             QString());
    addGuide(QStringLiteral("open"), 0, tr("Open Audio File or Project"),
             tr("<p>Click on the <b>Open</b> toolbar button (as indicated) to open an audio file of your choice.</p>"
                "<p>You can also open a saved audio project containing a list of previous edits. <a "
                "href='#more'><span style='text-decoration: underline; color:#0000ff;'>More...</span></a></p>"),
             tr("<p>The open file browser will be displayed and you can select audio projects or audio files of type "
                "MP3 and AAC*. Supported file extensions are <b>.mp3</b> for MP3 audio files, <b>.aac</b> for AAC "
                "ADTS audio files, <b>.m4a</b> for AAC MPEG-4 Audio Files, <b>.m4b</b> for AAC MPEG-4 Audio Books, "
                "<b>.m4r</b> for AAC MPEG-4 Ringtones and <b>.mp4</b> for extracting AAC audio from an MPEG-4 movie "
                "file.</p>"
                "<p><b>*</b>AAC profiles other than LC are not currently supported. AAC audio files that are "
                "protected using Digital rights management (DRM) or other means are also not supported.</p>"));
    addGuide(QStringLiteral("play_pause"), 0, tr("Play and Pause"),
             tr("<p>You can start to play the loaded audio by using the <b>Play</b> command.</p>"
                "<p>This will start playing from the current play position (the vertical red arrow).</p>"
                "<p>You can also use the 'space bar' on the keyboard to toggle playing and pausing audio.</p>"),
             QString());
    addGuide(QStringLiteral("play_sel"), 0, tr("Play the Current Selection"),
             tr("<p>You can play just the currently selected audio by pressing the <b>Play Selection</b> button.</p>"
                "<p>However, You must first stop any currently playing audio to enable the 'Play Selection' command "
                "and also have some audio selected.  <a href='#more'><span style='text-decoration: underline; "
                "color:#0000ff;'>More tips:...</span></a></p>"),
             tr("<p>You can also default to playing the current selection when the 'space bar' key is pressed using "
                "the 'Play selection using space bar' option in the <b>%1</b> dialog under the 'Appearance/UI' "
                "tab.</p>").arg(optionsDialogName));
    addGuide(QStringLiteral("playback_vol"), 0, tr("Playback Volume"),
             tr("<p>You can adjust the playback volume using the volume slider as indicated.</p>"
                "<p>(this does not affect the volume of the exported audio files).</p>"),
             QString());
    addGuide(QStringLiteral("playback_pitch"), 0, tr("Playback Pitch"),
             tr("<p>You can adjust the playback pitch in semitones by using the pitch slider as indicated.</p>"
                "<p>(this does not affect the pitch of the exported audio files but the pitch can be changed when "
                "using the 'Convert ...' feature).</p>"),
             QString());
    addGuide(QStringLiteral("playback_tempo"), 0, tr("Playback Tempo"),
             tr("<p>You can speed up or slow down the playback tempo by adjusting the tempo slider as indicated.</p>"
                "<p>(this does not affect the tempo of the exported audio files but the tempo can be changed when "
                "using the 'Convert ...' feature).</p>"),
             QString());
    addGuide(QStringLiteral("record"), 0, tr("Recording Audio"),
             tr("<p>You can record your own audio from a microphone or audio interface using the <b>Record</b> "
                "button as shown.</p>"
                "<p>Audio is recorded directly to either AAC or MP3 format files.</p>"),
             QString());
    addGuide(QStringLiteral("audio_display"), 0, tr("Audio Display"),
             tr("<p>Once you have opened an audio file you will see the audio volume displayed as vertical bars over "
                "time.</p>"),
             QString());
    addGuide(QStringLiteral("current_play_pos"), 0, tr("Current Play Position"),
             tr("<p>The Current Play Position (as shown by the red vertical arrow) shows where the audio will start "
                "playing when the <b>Play</b> command is used.</p>"
                "<p>It is also used in conjunction with the selection buttons and track buttons to mark the position "
                "of selected audio and the start and end of tracks.</p>"),
             QString());
    addGuide(QStringLiteral("audio_time_ruler"), 0, tr("Scrolling Audio"),
             tr("<p>You can scroll the audio display left and right, relative to the current play position by "
                "clicking with the left mouse button and dragging the time ruler as indicated.</p>"
                "<p>When playing audio dragging the time ruler will 'scrub' the audio (i.e. continually play the "
                "audio for new positions)."),
             QString());
    addGuide(QStringLiteral("audio_map_ruler"), 0, tr("Audio Map View"),
             tr("<p>The audio map view (as indicated) will show the entire audio project as a zoomed out view "
                "including the selected audio.</p>"
                "<p>You can click anywhere on the this map view to jump to the same time position in the main audio "
                "display.</p>"
                "<p>When playing audio dragging the mouse over the map view will 'scrub' the audio (i.e. continually "
                "play the audio for new positions)."),
             QString());
    addGuide(QStringLiteral("sel_start"), 0, tr("Selection Start"),
             tr("<p>To edit your audio file you will first need to select a range of audio that you want to edit "
                "which can be done using the <b>Selection start</b> and <b>Selection end</b> buttons.</p>"
                "<p>After scrolling the audio display to the desired start position you can simply press "
                "<b>Selection start</b> to mark the start of the selection and then scroll to where you want to end "
                "the selection.</p>"),
             QString());
    addGuide(QStringLiteral("sel_end"), 0, tr("Selection End"),
             tr("<p>When you have scrolled to the desired end point for the selection you can then press the "
                "<b>Selection end</b> button to mark the end of the selection.</p>"
                "<p>You can adjust the start or end positions of the currently selected audio by scrolling the audio "
                "display and pressing <b>Selection start</b> to move the selection start position or <b>Selection "
                "end</b> to move the selection end position.</p>"),
             QString());
    addGuide(QStringLiteral("mouse_sel"), 0, tr("Selecting Audio Using the Mouse"),
             tr("<p>As an alternative to using the 'Selection start' and 'Selection end' buttons to select audio you "
                "can also simply click and drag over the audio display with the left mouse button.</p>"
                "<p>You can also use the left mouse button to click and drag the start and end points of the current "
                "selection.</p>"
                "<p>Tip: Pressing the <b>'%1'</b> and clicking on the audio display will expand the selection to "
                "that point.</p>").arg(tr("Control-key")),
             QString());
    addGuide(QStringLiteral("delete"), 0, tr("Deleting Audio"),
             tr("<p>With the <b>Delete</b> command you can trim selected audio from the start or end of a project or "
                "delete selected audio from anywhere within a project.</p>"),
             QString());
    addGuide(QStringLiteral("crop"), 0, tr("Trimming Audio"),
             tr("<p>You can trim an audio file or project by selecting the part of the audio you wish to keep and "
                "then and selecting the <b>Crop</b> command as indicated.</p>"
                "<p>This will delete all of the displayed audio in the project that is outside of the currently "
                "selected audio.</p>"),
             QString());
    addGuide(QStringLiteral("cut_copy_paste"), 0, tr("Cut Copy and Paste"),
             tr("<p>The familiar <b>Cut</b>, <b>Copy</b> and <b>Paste</b> commands can be used to copy or move audio "
                "form one part of your editing project to another.</p>"
                "<p>They can even be used to copy audio sections between separate instances of '%1' so long as the "
                "file type, sample rate and number of channels are the same.</p>").arg(applicationName),
             QString());
    addGuide(QStringLiteral("undo_redo"), 0, tr("Undo and Redo"),
             tr("<p>If you make a mistake while editing audio don't worry you can use the unlimited <b>Undo</b> and "
                "<b>Redo</b> commands to reverse or replay your previous edits.</p>"),
             QString());
    addGuide(QStringLiteral("zoom_in_out"), 0, tr("Zoom In and Zoom Out"),
             tr("<p>You can zoom in and out horizontally using the <b>Zoom In</b> and <b>Zoom Out</b> buttons to "
                "view the audio in more detail.</p>"
                "<p>This will also make it easier to scroll the 'current play position' to a more accurate "
                "location.</p>"),
             QString());
    addGuide(QStringLiteral("save_project"), 0, tr("Saving Projects"),
             tr("<p>You can conveniently save your work at any time into an audio editing project (with a file "
                "extension .kvlproj) using the <b>Save Project</b> button.</p>"
                "<p>You can also save your work to a new project file using the <b>Save Project As</b> command.</p>"
                "<p>This does not however save audio in a format that can be read by other applications or devices "
                "as it is only a list of all the edits you have made.</p>"
                "<p>To save your audio edits back to the original MP3 or AAC format without any loss in quality you "
                "can use one of the 'Export' commands.</p>"),
             QString());
    addGuide(QStringLiteral("export_all"), 0, tr("Exporting Audio"),
             tr("<p>When you have finished your audio editing session you will then need to export your edits to a "
                "new MP3 or AAC format file.</p>"
                "<p><b>Please Note:</b> Exporting audio to the same format (MP3 or AAC) as the original file format "
                "allows audio to be saved with 100% of the original file format's quality.  However, if you want to "
                "save audio to a new format or new format settings you can use the 'Convert Audio ...' commands "
                "instead.</p>"
                "<p>The <b>Export All As</b> command will export all the audio edits in the current project and the "
                "<b>Export Selection As</b> command will export only the currently selected edits. The <b>Export "
                "Tracks</b> command will export each track to its own file.</p>"
                "<p>If you want to edit the tag information that is saved with the file then you can use the 'Edit | "
                "Edit File Information' menu command.</p>"),
             QString());
    addGuide(QStringLiteral("convert_all"), 0, tr("NEW FEATURE! - Converting Audio"),
             tr("<p>As an alternative to exporting audio without changing the format (or losing quality) you can now "
                "change the encoded format or encoder settings and convert your edits to a new format of audio file "
                "(MP3, AAC or WAV). Converting audio in this way also allows changes in pitch and tempo to be saved "
                "to a new audio file.</p>"
                "<p><b>Please Note:</b> If you use the 'Convert Audio ...' options rather than 'Export Audio ...' "
                "options (with the exception of WAV files) then some audio quality loss will be involved since "
                "re-compressing audio will always lose some quality.</p>"
                "<p>The <b>Convert All As</b> command will convert all the audio edits in the current project and "
                "the <b>Convert Selection As</b> command will convert only the currently selected edits. The "
                "<b>Convert Tracks</b> command will convert each track to its own file.</p>"
                "<p>If you want to edit the tag information that is saved with the file then you can use the 'Edit | "
                "Edit File Information' menu command.</p>"),
             QString());
    addGuide(QStringLiteral("normalize"), 0, tr("Normalizing Audio"),
             tr("<p>The <b>Normalize</b> command allows you to automatically check and adjust the volume level of "
                "any selected audio.</p>"
                "<p>Once invoked the Normalize command will analyze the selected audio to find out how loud the "
                "peaks are in the audio.</p>"
                "<p>It will then suggest a new volume level based on the peak decibel value that you require.</p>"),
             QString());
    addGuide(QStringLiteral("fade_in_out"), 0, tr("Fading Audio"),
             tr("<p>The <b>Fade In</b> and <b>Fade Out</b> commands allows you to gradually increase or decrease "
                "audio over a selected range.</p>"
                "<p>By default each click on the toolbar button will fade in or out by %2dB. The amount that each "
                "click will change the fade volume by can be adjusted in the <b>%1</b> dialog.</p>").arg(optionsDialogName, defaultStepsDb),
             QString());
    addGuide(QStringLiteral("vol_inc_dec"), 0, tr("Increasing and Decreasing Volume"),
             tr("<p>The <b>Vol Increase</b> and <b>Vol Decrease</b> commands allows you to increase or decrease the "
                "volume of the selected audio.</p>"
                "<p>By default each click on the toolbar button will increase or decrease the volume by %2dB. The "
                "amount that each click will change the volume level by can be adjusted in the <b>%1</b> dialog.</p>").arg(optionsDialogName, defaultStepsDb),
             QString());
    addGuide(QStringLiteral("silence"), 0, tr("Making Audio Completely Silent"),
             tr("<p>The <b>Silence</b> command allows you to completely silence the selected audio.</p>"
                "<p>You will see any silenced audio marked in a light blue color.</p>"
                "<p>You can also use the <b>Remove Silencing</b> command to remove the silencing effect from any "
                "audio that is currently silenced by selecting the area where you want to remove the silencing "
                "effect and using the <b>Remove Silencing</b> command."),
             QString());
    addGuide(QStringLiteral("ins_silence"), 0, tr("Inserting Silence"),
             tr("<p>The <b>Insert Silence</b> command allows you to insert a new section of completely silent audio "
                "anywhere in the project.</p>"
                "<p>When you use this command you will be prompted to give the number of seconds of silence to be "
                "inserted as a decimal value.</p>"),
             QString());
    addGuide(QStringLiteral("track_start_end"), 0, tr("Creating Tracks"),
             tr("<p>Creating tracks enables you to split an audio project into separate tracks which can be tagged "
                "and exported to separate files later.</p>"
                "<p>There are four buttons that allow you to set the start and end points of a track or split and "
                "even delete tracks.</p>"
                "<p>All these track editing buttons operate on the current play position (the red vertical arrow) "
                "and can be used to create or move a track start or end position.</p>"
                "<p>When you have created one or more tracks you can edit the tag information for each track using "
                "the 'Edit | Edit Track Information' menu command.  <a href='#more'><span style='text-decoration: "
                "underline; color:#0000ff;'>More tips:...</span></a></p>"),
             tr("<p>You can also edit track information by double clicking on the track marker in the audio display. "
                " In addition single clicking on a track marker will select all the audio for that track allowing "
                "other effects such as 'Normalize' to be performed more easily.</p>"));
    addGuide(QStringLiteral("track_split"), 0, tr("Splitting Tracks"),
             tr("<p>The <b>Track split</b> button can be used to split an existing track at the current play "
                "position or to create two new tracks split at that position.</p>"),
             QString());
    addGuide(QStringLiteral("del_track"), 0, tr("Deleting Tracks"),
             tr("<p>The <b>Delete track</b> button can be used to delete a track that is under the current play "
                "position.</p>"),
             QString());
    addGuide(QStringLiteral("next_prev_track"), 0, tr("Navigating Tracks"),
             tr("<p>When editing track positions the <b>Next</b> and <b>Previous</b> buttons can be used to navigate "
                "to the next and previous tracks in a project.</p>"),
             QString());
    addGuide(QStringLiteral("export_tracks"), 0, tr("Exporting Tracks"),
             tr("<p>When you have finished editing your audio and if you have created any tracks you will also be "
                "able to export your tracks as individual MP3 or AAC files.</p>"
                "<p><b>Please Note:</b> Exporting audio to the same format (MP3 or AAC) as the original file format "
                "allows audio to be saved with 100% of the original file format's quality.  However, if you want to "
                "save audio to a new format or new format settings or save changes to pitch or tempo you can use the "
                "'Convert Audio ...' commands instead.</p>"
                "<p>The <b>Export Tracks</b> command will save each track as an individual file which can also "
                "contain individual tagging information.</p>"
                "<p>If you want to edit the tag information that is exported with each track then you can use the "
                "'Edit | Edit Track Information' menu command.</p>"),
             QString());
    addGuide(QStringLiteral("rate"), 0, tr("Please Rate Us"),
             tr("<p>One more thing, please use the <b>Rate</b> button to browse to a page where you can rate our "
                "'%1' app and let other users know what you think.</p>"
                "<p>Thanks for using our app!").arg(applicationName),
             QString());
}
