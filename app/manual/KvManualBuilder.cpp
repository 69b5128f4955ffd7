// Builds the user manual at build time:
//   kv_manual_builder SOURCE.md OUTPUT.pdf
// The text is SOURCE.md, with its pictures beside it in images/. Its lines
// "@menus@" and "@shortcuts@" are replaced by the menu commands and the keys
// as the program's main window holds them: the window is built offscreen and
// read, so that the manual cannot drift from the program.
#include "KvManualActions.h"
#include "KvManualPdf.h"

#include <MainWindow.h>
#include <MyApplication.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

int failWith(const QString &why)
{
    std::fprintf(stderr, "kv_manual_builder: %s\n", qPrintable(why));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: kv_manual_builder SOURCE.md OUTPUT.pdf\n");
        return 2;
    }
    // A build has no display, and the window must not read or write the
    // user's settings. No desktop theme either: the keys the manual lists
    // must not depend on who builds it.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", config.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    QApplication app(argc, argv);
    kvSetApplicationNames();

    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return failWith(QStringLiteral("cannot read %1: %2").arg(source, file.errorString()));
    QString markdown = QString::fromUtf8(file.readAll());
    // Qt's Markdown reader drops a picture that has no description.
    if (markdown.contains(QLatin1String("![](")))
        return failWith(QStringLiteral("%1 has a picture without a description").arg(source));

    KvManualPdfInput input;
    {
        MainWindow window;
        const KvManualActions actions(window);
        const struct {
            const char *line;
            QString text;
        } generated[] = {
            {"@menus@", actions.menuMarkdown(2)},
            {"@shortcuts@", actions.shortcutMarkdown()},
        };
        for (const auto &g : generated) {
            const QString line = QLatin1String(g.line);
            const int at = markdown.indexOf(QLatin1Char('\n') + line + QLatin1Char('\n'));
            if (at < 0)
                return failWith(QStringLiteral("%1 has no line %2").arg(source, line));
            markdown.replace(at + 1, line.size(), g.text);
        }
        input.images = actions.icons();
    }
    input.title = applicationName;
    input.subtitle = QStringLiteral("User Manual");
    input.version = QStringLiteral("Version %1 for Linux").arg(applicationVersion);
    input.logo = QImage(QStringLiteral(":/Resources/mp3Morvelta_512.png"));
    input.markdown = markdown;
    input.imageDir = QFileInfo(source).absolutePath();

    QString error;
    if (!kvWriteManualPdf(input, output, &error))
        return failWith(error);
    return 0;
}
