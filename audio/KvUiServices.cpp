#include "KvUiServices.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>

namespace {

KvUiServices *g_installed = nullptr;

} // namespace

KvUiServices::~KvUiServices() = default;

int KvUiServices::message(QWidget *, KvUi::Icon, const QString &title, const QString &text, int,
                          int defaultButton)
{
    // Nobody can answer: say what would have been asked, take the default.
    qWarning().noquote() << title << ":" << text;
    return defaultButton;
}

QStringList KvUiServices::openFileNames(QWidget *, const QString &, const QString &, const QString &, QString *)
{
    return QStringList();
}

QString KvUiServices::openFileName(QWidget *, const QString &, const QString &, const QString &, int)
{
    return QString();
}

QString KvUiServices::saveFileName(QWidget *, const QString &, const QString &, const QString &)
{
    return QString();
}

QString KvUiServices::existingDirectory(QWidget *, const QString &, const QString &, int)
{
    return QString();
}

int KvUiServices::runInsertSilence(QObject *, const boost::shared_ptr<KvFrameSizeInfo> &, QWidget *) { return 0; }

int KvUiServices::runNormalize(QObject *, const ListPtr &, QWidget *) { return 0; }

int KvUiServices::runTrackProperties(KvTrackPropertiesRequest &) { return 0; }

int KvUiServices::runNotice(KvUi::Notice, QWidget *) { return 0; }

int KvUiServices::runConvert(QObject *, const QList<ListPtr> &, QWidget *, int, int, bool, bool) { return 0; }

int KvUiServices::runRecord(QObject *, QWidget *) { return 0; }

QObject *KvUiServices::createRecorder(QObject *, QWidget *) { return nullptr; }

int KvUiServices::runRateApp(bool, QWidget *) { return 0; }

bool KvUiServices::showProgress(QWidget *, const QString &, int, int) { return true; }

void KvUiServices::hideProgress() {}

QPalette KvUiServices::palette() const
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) ? QGuiApplication::palette() : QPalette();
}

QWidget *KvUiServices::activeModalWidget() const { return nullptr; }

QWidget *KvUiServices::activeWindow() const { return nullptr; }

QWidget *KvUiServices::widgetOf(QObject *) const { return nullptr; }

KvUiServices &kvUi()
{
    static KvUiServices headless;
    return g_installed ? *g_installed : headless;
}

KvUiServices *setKvUiServices(KvUiServices *services)
{
    KvUiServices *before = g_installed;
    g_installed = services;
    return before;
}
