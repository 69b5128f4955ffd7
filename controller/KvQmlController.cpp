// The controller's lifecycle: construction, joining the model, destruction,
// and the seams it was handed.
#include "KvQmlController.h"

#include "KvAppArchiveUi.h"
#include "KvAudioItem.h"

#include <KvAacLibraryCalls.h>
#include <KvAppUndo.h>
#include <KvAudioMessages.h>
#include <KvClock.h>
#include <KvConnect.h>
#include <KvLibavLoad.h>
#include <KvPlayThread.h>
#include <KvPlayThreadFactory.h>
#include <KvQmlModel.h>
#include <KvUiServices.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>
#include <QThread>
#include <QUndoStack>
#include <QWindow>

namespace {

KvQmlController *g_controller = nullptr;

bool hasGui() { return qobject_cast<QGuiApplication *>(QCoreApplication::instance()); }

int g_audioFailuresShown = 0;

// What the audio services cannot handle themselves is shown as a critical box.
void showAudioFailure(const QString &title, const QString &text)
{
    ++g_audioFailuresShown;
    const KvQmlController *c = KvQmlController::instance();
    KvQmlController::registeredUi().message(c ? c->messageBoxParent() : nullptr, KvUi::Critical, title, text,
                                            KvUi::Ok, KvUi::NoButton);
}

} // namespace

int kvAudioFailuresShown() { return g_audioFailuresShown; }

KvQmlController::KvQmlController(QObject *parent, const KvControllerSeams &seams)
    : QObject(parent), m_seams(seams)
{
    qRegisterMetaType<KvQmlModel *>("KvQmlModel*");
    qRegisterMetaType<QList<QUrl>>("QList<QUrl>");
    qRegisterMetaType<QList<QObject *>>("QList<QObject*>");
    qRegisterMetaType<MouseDragSelType>("MouseDragSelType");
    qRegisterMetaType<KvPlayState>("KvPlayState");

    // The AAC wrapper library, and the hooks through which the layers below
    // reach the user and the library.
    KvLibavLoad::instance();
    installKvAacLibraryCalls();
    installAppArchiveUi();
    setKvCriticalMessageHandler(showAudioFailure);

    // Through the setter, so that the play-position marker gets its width.
    m_hZoom = 0;
    setHZoom(1);
    m_messageBoxParent = uiServices().widgetOf(parent);
    readSettings();

    if (hasGui()) {
        if (QScreen *screen = QGuiApplication::primaryScreen())
            kvConnect(screen, SIGNAL(physicalDotsPerInchChanged(qreal)), this, SLOT(recalcScreenPixelDensity(qreal)));
    }
    assignAndNotify(m_screenPixelDensity, calcScreenPixelDensity(), &KvQmlController::screenPixelDensityChanged);
    emit calcViews();
    if (hasGui()) {
        const QWindowList windows = QGuiApplication::topLevelWindows();
        if (!windows.isEmpty())
            kvConnect(windows.first(), SIGNAL(screenChanged(QScreen *)), this,
                      SLOT(recalcScreenPixelDensity2(QScreen *)));
        kvConnect(QGuiApplication::clipboard(), SIGNAL(changed(QClipboard::Mode)), this,
                  SLOT(ClipboardChanged(QClipboard::Mode)));
        // What the clipboard held before the program started counts too.
        ClipboardChanged(QClipboard::Clipboard);
    }
    kvConnect(&m_timer, SIGNAL(timeout()), this, SLOT(checkTimerEvents()));
    kvConnect(this, SIGNAL(loadRecordedFileSig(QString, bool)), this, SLOT(loadRecordedFileImpl(QString, bool)),
              Qt::QueuedConnection);

    resetTimerHistory();
    buildHelpPages();

    assignAndNotify(m_versionText,
                    QStringLiteral("%1 (Qt: %2) [%3]")
                        .arg(QCoreApplication::applicationVersion(), QString::fromLatin1(qVersion()),
                             QSysInfo::buildCpuArchitecture()),
                    &KvQmlController::versionTextChanged);

    g_controller = this;

    loadPaletteColors(m_uiWindowColor, m_uiTextColor);
    if (hasGui())
        kvConnect(qGuiApp, SIGNAL(paletteChanged(const QPalette &)), this, SLOT(CheckIsDarkMode(const QPalette &)));
}

KvQmlController::~KvQmlController()
{
    if (m_playThread) {
        m_playThread->StopPlay();
        m_playThread->wait();
        delete m_playThread;
        m_playThread = nullptr;
    }
    if (m_workerThread) {
        m_workerThread->wait();
        delete m_workerThread;
        m_workerThread = nullptr;
    }
    writeSettings();
    qDeleteAll(m_searchItems);
    m_searchItems.clear();
    if (m_recorder) {
        kvInvoke(m_recorder, "stopRecordThread");
        delete m_recorder;
        m_recorder = nullptr;
    }
    if (g_controller == this)
        g_controller = nullptr;
}

KvQmlController *KvQmlController::instance() { return g_controller; }

KvQmlModel *KvQmlController::currentModel() { return appCurrentModel; }

KvUiServices &KvQmlController::uiServices() const { return m_seams.ui ? *m_seams.ui : kvUi(); }

KvUiServices &KvQmlController::registeredUi() { return g_controller ? g_controller->uiServices() : kvUi(); }

KvClock &KvQmlController::clock() const { return m_seams.clock ? *m_seams.clock : KvClock::system(); }

KvPlayThreadFactory &KvQmlController::playThreadFactory() const
{
    return m_seams.playThreads ? *m_seams.playThreads : KvPlayThreadFactory::standard();
}

void KvQmlController::setModel(KvQmlModel *model)
{
    if (model == m_model)
        return;
    // The model given before no longer drives the controller.
    if (m_model) {
        m_model->undoStack()->disconnect(this);
        m_model->disconnect(this);
    }
    m_model = model;
    appCurrentModel = model;
    closeProject(true, false);
    if (model) {
        // The main window deletes the model before the controller.
        connect(model, &QObject::destroyed, this, [this] { m_model = nullptr; });
        QUndoStack *stack = model->undoStack();
        kvConnect(stack, SIGNAL(canUndoChanged(bool)), this, SLOT(canUndoSlot(bool)));
        kvConnect(stack, SIGNAL(canRedoChanged(bool)), this, SLOT(canRedoSlot(bool)));
        kvConnect(stack, SIGNAL(cleanChanged(bool)), this, SLOT(cleanChanged(bool)));
        kvConnect(stack, SIGNAL(indexChanged(int)), this, SLOT(indexChanged(int)));
    }
    emit modelChanged(model);
}

// The meta-object is compiled here, where the types of the slot and invokable
// arguments are complete. QMessageBox only lends the enum type of
// stateActionExportTrackLoop's last argument; no widget code is used.
#include <QAbstractItemModel>
#include <QMessageBox>
#include <QPalette>

#include "moc_KvQmlController.cpp"
