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

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: kvbench COMMAND ARGS...\n"
                 "commands:\n"
                 "  scan [--csv] FILE      index a source file and print its frames\n"
                 "  edits [--ops N] [--seeks N] [--seed S] FILE\n"
                 "                         random cut/paste edits and cursor seeks, cost per operation\n"
                 "  export OUT EDITLIST    build a document from an edit list (- for stdin) and save it\n");
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
    };
    const auto it = commands.find(cmd);
    if (it == commands.end())
        return usage();
    return it->second(args);
}
