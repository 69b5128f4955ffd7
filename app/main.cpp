// Program entry: the application object, the command line, the agreement
// gate and the hand-over of a file named on the command line.
#include "MainWindow.h"
#include "MyApplication.h"

#include <KvLicenceDlg.h>
#include <KvWidgetUiServices.h>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QSettings>
#include <QStringList>

namespace {

// Shown when the settings ask for it; false when the user declined.
bool passAgreement(QSettings &settings)
{
    const QString shownDefaultKey = QStringLiteral("Settings/DefaultShowLicenseDlg2020-04-24");
    const QString showKey = QStringLiteral("Warnings/ShowLicenseDlg2017-11-25");
    const bool showByDefault = settings.value(shownDefaultKey, false).toBool();
    if (settings.value(showKey, showByDefault).toBool()) {
        KvLicenceDlg dialog;
        if (dialog.exec() != QDialog::Accepted)
            return false;
    }
    settings.setValue(showKey, false);
    settings.setValue(shownDefaultKey, true);
    settings.sync();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // FFmpeg, ALSA and PulseAudio need no process-wide start-up here; each
    // audio service opens what it uses.
    QCoreApplication::setOrganizationName(organizationName);
    QCoreApplication::setOrganizationDomain(organizationDomain);
    QCoreApplication::setApplicationName(applicationName);
    QCoreApplication::setApplicationVersion(applicationVersion);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);

    MyApplication app(argc, argv);
    QSettings settings;
    // What the controller and the audio services ask the user goes through these.
    installKvWidgetUiServices();

    QCommandLineParser parser;
    parser.setApplicationDescription(applicationName);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"), QCoreApplication::translate("main", "file or project."),
                                 QString());
    const QCommandLineOption editOption(QStringList{QStringLiteral("e"), QStringLiteral("edit")},
                                        QCoreApplication::translate("main", "Edit only (do not play initially)."));
    parser.addOption(editOption);
    // Accepted for compatibility; the desktop window is the only interface.
    const QCommandLineOption desktopOption(QStringList{QStringLiteral("d"), QStringLiteral("desktop")},
                                           QCoreApplication::translate("main", "Run with Desktop UI."));
    parser.addOption(desktopOption);
    parser.process(app);

    const bool editOnly = parser.isSet(editOption);
    const QStringList positional = parser.positionalArguments();
    const QString file = positional.isEmpty() ? QString() : positional.first();

    app.mainWindow = new MainWindow;
    appMainWindow = app.mainWindow;
    QObject::connect(&app, &MyApplication::showMainWinProcessed, app.mainWindow, &MainWindow::showWindowProcessed);
    app.mainWindow->show();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    emit app.showMainWinProcessed();

    int exitCode = 1;
    if (passAgreement(settings)) {
        if (!file.isEmpty()) {
            if (file.endsWith(QLatin1String(".kvlproj"), Qt::CaseInsensitive)) {
                // A project never starts playing, whatever -e says.
                app.mainWindow->openProject(file);
            } else {
                app.mainWindow->openFiles(QStringList{file});
                if (!editOnly)
                    app.mainWindow->on_actionPlay_triggered();
            }
        }
        // The window can be closed while the named file is still being
        // opened; that quit came before the event loop and would be lost.
        exitCode = app.mainWindow->isVisible() ? app.exec() : 0;
    }

    delete app.mainWindow;
    app.mainWindow = nullptr;
    appMainWindow = nullptr;
    return exitCode;
}
