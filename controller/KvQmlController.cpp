// The controller's lifecycle: construction, joining the model, destruction,
// and the seams it was handed.
#include "KvQmlController.h"

#include <KvAppUndo.h>
#include <KvClock.h>
#include <KvConnect.h>
#include <KvPlayThread.h>
#include <KvPlayThreadFactory.h>
#include <KvQmlModel.h>
#include <KvUiServices.h>

#include <QGuiApplication>
#include <QThread>

namespace {

KvQmlController *g_controller = nullptr;
KvQmlModel *g_currentModel = nullptr;

} // namespace

KvQmlController::KvQmlController(QObject *parent, const KvControllerSeams &seams)
    : QObject(parent), m_seams(seams)
{
    qRegisterMetaType<KvQmlModel *>("KvQmlModel*");
    readSettings();
    g_controller = this;
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        kvConnect(QGuiApplication::clipboard(), SIGNAL(changed(QClipboard::Mode)), this,
                  SLOT(ClipboardChanged(QClipboard::Mode)));
    if (qGuiApp) {
        kvConnect(qGuiApp, SIGNAL(paletteChanged(QPalette)), this, SLOT(CheckIsDarkMode(QPalette)));
        loadPaletteColors(m_uiWindowColor, m_uiTextColor);
    }
}

KvQmlController::~KvQmlController()
{
    writeSettings();
    if (g_controller == this)
        g_controller = nullptr;
}

KvQmlController *KvQmlController::instance() { return g_controller; }

KvQmlModel *KvQmlController::currentModel() { return g_currentModel; }

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
    m_model = model;
    g_currentModel = model;
    appCurrentModel = model;
    closeProject(true, false);
    emit modelChanged(model);
}

// The meta-object is compiled here, where the types of the slot and invokable
// arguments are complete. QMessageBox only lends the enum type of
// stateActionExportTrackLoop's last argument; no widget code is used.
#include <QAbstractItemModel>
#include <QMessageBox>
#include <QPalette>
#include <QScreen>

#include "moc_KvQmlController.cpp"
