// Headless driver of the engine, for tests and benchmarks.
// Usage: kvbench COMMAND ARGS...   (see usage() for the commands)
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <map>

int cmdScan(const QStringList &args);
int cmdEdits(const QStringList &args);
int cmdExport(const QStringList &args);
int cmdExportTime(const QStringList &args);
int cmdArchive(const QStringList &args);
int cmdLoad(const QStringList &args);
int cmdArchiveTime(const QStringList &args);

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: kvbench COMMAND ARGS...\n"
                 "commands:\n"
                 "  scan [--csv] FILE      index a source file (MP3 or AAC) and print its frames\n"
                 "  edits [--ops N] [--seeks N] [--seed S] FILE\n"
                 "                         random cut/paste edits and cursor seeks, cost per operation\n"
                 "  export OUT EDITLIST    build a document from an edit list (- for stdin) and save it\n"
                 "  export-time [--runs N] OUT EDITLIST\n"
                 "                         time exports of the opened document beside plain copies\n"
                 "                         of the exported bytes\n"
                 "  archive EDITLIST       print the fragment-list text of the edit list's document\n"
                 "  load TEXTFILE OUT      read a fragment-list text (- for stdin) and save its document\n"
                 "  archive-time [--runs N] FILE\n"
                 "                         time writing and reading the fragment-list text of FILE\n"
                 "                         with a different gain on every frame\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    if (args.isEmpty())
        return usage();
    const QString cmd = args.takeFirst();
    const std::map<QString, std::function<int(const QStringList &)>> commands = {
        {QStringLiteral("scan"), cmdScan},
        {QStringLiteral("edits"), cmdEdits},
        {QStringLiteral("export"), cmdExport},
        {QStringLiteral("export-time"), cmdExportTime},
        {QStringLiteral("archive"), cmdArchive},
        {QStringLiteral("load"), cmdLoad},
        {QStringLiteral("archive-time"), cmdArchiveTime},
    };
    const auto it = commands.find(cmd);
    if (it == commands.end())
        return usage();
    return it->second(args);
}
