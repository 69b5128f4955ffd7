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

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// The command line: the file or project to open and the options.
class CommandLine {
public:
    CommandLine()
        : editOption(QStringList{QStringLiteral("e"), QStringLiteral("edit")},
                     QCoreApplication::translate("main", "Edit only (do not play initially).")),
          // Accepted for compatibility; the desktop window is the only interface.
          desktopOption(QStringList{QStringLiteral("d"), QStringLiteral("desktop")},
                        QCoreApplication::translate("main", "Run with Desktop UI."))
    {
        parser.setApplicationDescription(applicationName);
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addPositionalArgument(QStringLiteral("file"), QCoreApplication::translate("main", "file or project."),
                                     QString());
        parser.addOption(editOption);
        parser.addOption(desktopOption);
    }

    // Help, version and an unknown option print and end the program here.
    void process(const QCoreApplication &app) { parser.process(app); }

    bool editOnly() const { return parser.isSet(editOption); }
    // The first positional argument; further ones are ignored.
    QString file() const
    {
        const QStringList positional = parser.positionalArguments();
        return positional.isEmpty() ? QString() : positional.first();
    }

private:
    QCommandLineParser parser;
    const QCommandLineOption editOption;
    const QCommandLineOption desktopOption;
};

bool isSet(const char *variable) { return !qEnvironmentVariableIsEmpty(variable); }

// What the command line and the environment say about the display.
struct DisplayChoice {
    QString platforms = qEnvironmentVariable("QT_QPA_PLATFORM");
    bool displayOption = false;
    // The arguments without Qt's -platform and -display options and their values,
    // which only the GUI application object knows.
    std::vector<char *> otherArgs;

    DisplayChoice(int argc, char **argv)
    {
        for (int i = 0; i < argc; ++i) {
            const QByteArray arg = QByteArray(argv[i]).startsWith("--") ? QByteArray(argv[i] + 1) : QByteArray(argv[i]);
            if (i > 0 && i + 1 < argc && (arg == "-platform" || arg == "-display")) {
                if (arg == "-platform")
                    platforms = QString::fromLocal8Bit(argv[i + 1]);
                else
                    displayOption = true;
                ++i;
                continue;
            }
            otherArgs.push_back(argv[i]);
        }
        otherArgs.push_back(nullptr);
    }

    // Whether a display may be reached: Qt aborts when its platform plugin
    // finds none. A platform chosen by name ("offscreen", "vnc", ...) is
    // trusted, except the two that need a display server named.
    bool displayNamed() const
    {
        const bool x11 = displayOption || isSet("DISPLAY");
        const bool wayland = isSet("WAYLAND_DISPLAY");
        if (platforms.isEmpty())
            return x11 || wayland;
        // A list such as "wayland;xcb" is tried in its order.
        for (const QString &platform : platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString name = platform.section(QLatin1Char(':'), 0, 0);
            if (name == QLatin1String("xcb") ? x11 : name.startsWith(QLatin1String("wayland")) ? wayland : true)
                return true;
        }
        return false;
    }
};

// The one line that says why the editor did not start, where a person reads it.
[[noreturn]] void exitWithoutDisplay()
{
    const QString text = QCoreApplication::translate(
                             "main", "%1 needs a display to show its window and could not open one; "
                                     "scripts/run starts it on a display served over VNC.")
                             .arg(applicationName);
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
    // Nothing has been opened or changed yet: no clean-up to run.
    std::_Exit(1);
}

QtMessageHandler previousHandler = nullptr;

// While the application object connects to the display: a named display that
// cannot be opened ends the program with that line instead of Qt's abort.
void platformStartHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg)
        exitWithoutDisplay();
    previousHandler(type, context, message);
}

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
    kvSetApplicationNames();
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);

    DisplayChoice display(argc, argv);
    if (!display.displayNamed()) {
        // Help and version need no window.
        int otherCount = int(display.otherArgs.size()) - 1;
        QCoreApplication app(otherCount, display.otherArgs.data());
        CommandLine().process(app);
        exitWithoutDisplay();
    }
    previousHandler = qInstallMessageHandler(platformStartHandler);
    MyApplication app(argc, argv);
    qInstallMessageHandler(previousHandler);
    QSettings settings;
    // What the controller and the audio services ask the user goes through these.
    installKvWidgetUiServices();

    CommandLine commandLine;
    commandLine.process(app);
    const bool editOnly = commandLine.editOnly();
    const QString file = commandLine.file();

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
