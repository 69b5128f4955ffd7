#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class QProcess;

namespace kvtest {

// Folder of the generated audio fixtures (build tree).
QString fixtureDir();
// Path of one generated fixture; the test fails if it is missing.
QString fixture(const QString &name);
// Folder of the small committed data files (tests/data).
QString dataDir();
// Copies a fixture to `to` and makes the copy writable by its owner, as a
// user's own file is (the build's fixtures may be read-only); false when it
// could not be copied.
bool copyFixture(const QString &name, const QString &to);

// A fresh temporary folder, removed when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    QString path() const { return m_path; }
    QString file(const QString &name) const { return m_path + "/" + name; }
private:
    QString m_path;
};

// Runs a program; returns its exit code (-1 when it could not start) and
// collects standard output.
int runProgram(const QString &program, const QStringList &args, QByteArray *out = nullptr,
               QByteArray *err = nullptr, int timeoutMs = 120000);

// Asks a process to end, and ends it when it has not within graceMs.
void endProcess(QProcess &process, int graceMs = 5000);

QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &data);

// Decodes an MP3 with mpg123 (no gapless handling) to raw s16le PCM.
QByteArray decodeMpg123(const QString &path, QString *stderrText = nullptr);
// Decodes any audio file with ffmpeg to raw s16le PCM at its own rate and channels.
QByteArray decodeFfmpeg(const QString &path, QString *stderrText = nullptr);

// Serves events until pred holds (true) or timeoutMs pass (false).
bool waitFor(const std::function<bool()> &pred, int timeoutMs = 10000);

// Qt's messages, from any thread, while it lives; with a type, only those of
// that type. One at a time: it takes Qt's single message handler.
class CapturedMessages {
public:
    CapturedMessages();
    explicit CapturedMessages(QtMsgType only);
    ~CapturedMessages();
    CapturedMessages(const CapturedMessages &) = delete;
    CapturedMessages &operator=(const CapturedMessages &) = delete;
    QStringList texts() const;

private:
    QtMessageHandler m_previous;
};

} // namespace kvtest
