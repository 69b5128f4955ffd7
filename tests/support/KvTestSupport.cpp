#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace kvtest {

QString fixtureDir()
{
    const QByteArray env = qgetenv("KV_FIXTURE_DIR");
    return env.isEmpty() ? QString(KV_FIXTURE_DIR) : QString::fromLocal8Bit(env);
}

QString fixture(const QString &name)
{
    const QString p = fixtureDir() + "/" + name;
    EXPECT_TRUE(QFileInfo::exists(p)) << "missing fixture " << p.toStdString();
    return p;
}

QString dataDir() { return QString(KV_TEST_DATA_DIR); }

bool copyFixture(const QString &name, const QString &to)
{
    return QFile::copy(fixture(name), to) && QFile(to).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

TempDir::TempDir()
{
    QTemporaryDir d(QDir::tempPath() + "/kvtest-XXXXXX");
    d.setAutoRemove(false);
    m_path = d.path();
}

TempDir::~TempDir() { QDir(m_path).removeRecursively(); }

int runProgram(const QString &program, const QStringList &args, QByteArray *out, QByteArray *err,
               int timeoutMs)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        return -1;
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (out)
        *out = p.readAllStandardOutput();
    if (err)
        *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void endProcess(QProcess &process, int graceMs)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(graceMs)) {
        process.kill();
        process.waitForFinished();
    }
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

QByteArray decodeMpg123(const QString &path, QString *stderrText)
{
    QByteArray out, err;
    runProgram("mpg123", {"-q", "--no-gapless", "-s", path}, &out, &err);
    if (stderrText)
        *stderrText = QString::fromLocal8Bit(err);
    return out;
}

QByteArray decodeFfmpeg(const QString &path, QString *stderrText)
{
    QByteArray out, err;
    runProgram("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-"}, &out, &err);
    if (stderrText)
        *stderrText = QString::fromLocal8Bit(err);
    return out;
}

bool waitFor(const std::function<bool()> &pred, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

namespace {
QMutex capturedMutex;
QStringList captured;
bool capturedAll = true;
QtMsgType capturedType = QtDebugMsg;

void capture(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    QMutexLocker lock(&capturedMutex);
    if (capturedAll || type == capturedType)
        captured << text;
}

QtMessageHandler startCapture(bool all, QtMsgType type)
{
    {
        QMutexLocker lock(&capturedMutex);
        captured.clear();
        capturedAll = all;
        capturedType = type;
    }
    return qInstallMessageHandler(capture);
}
} // namespace

CapturedMessages::CapturedMessages() : m_previous(startCapture(true, QtDebugMsg)) {}

CapturedMessages::CapturedMessages(QtMsgType only) : m_previous(startCapture(false, only)) {}

CapturedMessages::~CapturedMessages() { qInstallMessageHandler(m_previous); }

QStringList CapturedMessages::texts() const
{
    QMutexLocker lock(&capturedMutex);
    return captured;
}

} // namespace kvtest
