// scripts/run as a user meets it: without a display the window is served by
// a private VNC server (Xvnc) to this user only, seen here through a minimal
// viewer that asks for the Raw encoding only; without a sound server the
// editor starts edit-only. The script starts the program this build made.
#include "KvProgramTest.h"

#include <KvPulseSession.h>
#include <KvRfbClient.h>
#include <KvTestSupport.h>
#include <KvXSession.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

// Generous: a loaded two-core machine starts the server and the editor slowly.
constexpr int slowMs = 60000;
const QSize defaultScreen(1280, 800);
const QString mainWindowTitle = QStringLiteral("^mp3Morvelta - ");
const QString boxTitle = QStringLiteral("^mp3Morvelta$");
const QRegularExpression socketLine(QStringLiteral("^scripts/run: no display; the editor is served by VNC on the "
                                                   "socket (\\S+); from another machine: ssh -L 5900:(\\S+) \\S+@\\S+, "
                                                   "then vncviewer localhost::5900$"));
const QRegularExpression portLine(QStringLiteral("^scripts/run: no display; the editor is served by VNC on "
                                                 "127\\.0\\.0\\.1:(\\d+) with the password (\\S+); from another "
                                                 "machine: ssh -L 5900:127\\.0\\.0\\.1:(\\d+) \\S+@\\S+, then "
                                                 "vncviewer localhost::5900$"));
const QString noSoundLine = QStringLiteral("scripts/run: no sound server answers (playback needs PulseAudio or "
                                           "PipeWire-Pulse); the editor starts with -e, so nothing plays");
// X keysyms.
constexpr quint32 keyControl = 0xffe3;
constexpr quint32 keyQ = 0x71;

// The process and all it started, as they are now.
QList<qint64> processTree(qint64 root)
{
    if (root <= 0)
        return {};
    QList<qint64> tree{root};
    QMultiHash<qint64, qint64> children;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        // "pid (comm) state ppid ...": the name may hold spaces, so count from its end.
        const QByteArray stat = kvtest::readFile(QStringLiteral("/proc/%1/stat").arg(pid));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children.insert(fields[1].toLongLong(), pid);
    }
    for (int i = 0; i < tree.size(); ++i)
        tree += children.values(tree[i]);
    return tree;
}

QString processName(qint64 pid)
{
    return QString::fromLocal8Bit(kvtest::readFile(QStringLiteral("/proc/%1/comm").arg(pid))).trimmed();
}

// The local addresses of the TCP sockets these processes listen on, as ss lists them.
QStringList listeningTcp(const QList<qint64> &pids)
{
    QByteArray out;
    EXPECT_EQ(kvtest::runProgram(QStringLiteral("ss"), {"-ltnpH"}, &out), 0) << "ss did not run";
    QStringList addresses;
    for (const QByteArray &line : out.split('\n')) {
        const QStringList columns = QString::fromLocal8Bit(line).simplified().split(QLatin1Char(' '));
        for (qint64 pid : pids)
            if (columns.size() > 3 && line.contains(QStringLiteral("pid=%1,").arg(pid).toLatin1()))
                addresses << columns[3];
    }
    return addresses;
}

int freeTcpPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), length) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// A fresh configuration without the guide bubbles, which would cover parts
// of the window at random times.
void writeQuietConfig(const QString &dir)
{
    QSettings settings(kvtest::programSettingsPath(dir), QSettings::IniFormat);
    settings.setValue("Settings/showPopupGuides", false);
}

// The empty right end of the menu bar: the pointer there covers nothing the
// tests look at, and a click there does nothing but activate the window.
QPoint restingPoint(const QSize &screen) { return QPoint(screen.width() - 20, 8); }

// One scripts/run, with the program this build made, its own runtime and
// configuration folders, and no display or sound server unless given. The
// variables in unset are left out; with MergedChannels the output holds what
// the script and the programs it starts print on either channel.
class RunSession {
public:
    explicit RunSession(const QStringList &args, const QProcessEnvironment &extra = QProcessEnvironment(),
                        const QStringList &unset = {},
                        QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel)
    {
        writeQuietConfig(config.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("KV_VNC_PORT");
        env.remove("KV_VNC_SIZE");
        env.insert("KV_RUN_PROGRAM", KV_APP_PATH);
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("XDG_CONFIG_HOME", config.path());
        env.insert("PULSE_SERVER", "unix:" + runtime.file("no-sound-server"));
        env.insert(extra);
        for (const QString &name : unset)
            env.remove(name);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(channels);
        process.start(KV_RUN_SCRIPT, args);
    }
    ~RunSession() { kvtest::endProcess(process); }

    // Waits for a line of the script's output that matches.
    QRegularExpressionMatch waitForLine(const QRegularExpression &pattern, int timeoutMs = slowMs)
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            for (const QString &line : lines()) {
                const QRegularExpressionMatch m = pattern.match(line);
                if (m.hasMatch())
                    return m;
            }
            if (clock.elapsed() > timeoutMs || process.state() == QProcess::NotRunning)
                return QRegularExpressionMatch();
            process.waitForReadyRead(200);
        }
    }

    QStringList lines()
    {
        process.waitForReadyRead(50);
        output += QString::fromLocal8Bit(process.readAllStandardOutput());
        return output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // The editor among the processes the script started; 0 when it is not running.
    qint64 editor() const
    {
        for (qint64 pid : processTree(process.processId()))
            if (processName(pid) == QLatin1String("kvedit"))
                return pid;
        return 0;
    }

    // Ctrl+Q as a remote user types it, after a click on the window, which
    // makes it the active one (there is no window manager to do it); typed
    // again while the script runs on, as a key can come before the click took.
    bool quitOverVnc(kvtest::RfbClient &viewer, const QSize &screen)
    {
        const QPoint p = restingPoint(screen);
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (!viewer.pointer(p.x(), p.y(), 1) || !viewer.pointer(p.x(), p.y(), 0))
                break;
            QThread::msleep(500);
            if (!viewer.key(keyControl, true) || !viewer.key(keyQ, true) || !viewer.key(keyQ, false) ||
                !viewer.key(keyControl, false))
                break;
            if (process.waitForFinished(slowMs / 5))
                return true;
        }
        return process.waitForFinished(1000);
    }

    kvtest::TempDir runtime;
    kvtest::TempDir config;
    QProcess process;
    QString output;
};



// The Play icon's green is about #22b06b, the marker's red about #ce2e42.
bool isGreen(QRgb c) { return qGreen(c) >= 120 && qRed(c) < qGreen(c) / 2 && qBlue(c) < qGreen(c) * 2 / 3; }
bool isRed(QRgb c) { return qRed(c) >= 160 && qGreen(c) < qRed(c) / 2 && qBlue(c) < qRed(c) / 2; }

// The area of the screen's pixels, inside within, that match.
QRect areaOf(const QImage &image, const QRect &within, bool (*match)(QRgb), int *count)
{
    QRect area;
    *count = 0;
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x)
            if (match(image.pixel(x, y))) {
                area |= QRect(x, y, 1, 1);
                ++*count;
            }
    return area;
}

// Where the Play button is: first on the first tool bar, under the menu bar.
const QRect playButton(0, 20, 80, 80);
// Fewer of its green pixels than this and it is not drawn.
constexpr int playGreens = 50;

// Strongly coloured, whichever the colour: the Play icon is the only such
// thing at the top left.
bool isColourful(QRgb c)
{
    return std::max({qRed(c), qGreen(c), qBlue(c)}) - std::min({qRed(c), qGreen(c), qBlue(c)}) >= 80;
}

// A picture of the screen once the window has drawn and holds still: two
// frames in a row alike, the Play icon among them.
QImage stillPicture(const std::function<QImage()> &grab)
{
    QImage last;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < slowMs) {
        const QImage now = grab();
        if (now.isNull())
            return now;
        int colourful = 0;
        areaOf(now, playButton, isColourful, &colourful);
        if (colourful >= playGreens && now == last)
            return now;
        last = now;
        QThread::msleep(500);
    }
    return QImage();
}

QImage stillFrame(kvtest::RfbClient &viewer)
{
    return stillPicture([&] { return viewer.frame(); });
}

// The first pixel of the area that differs, for the failure's message; empty when none does.
QString firstDifference(const QImage &expected, const QImage &actual, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (expected.pixel(x, y) != actual.pixel(x, y))
                return QStringLiteral("(%1,%2): %3 on Xvfb, %4 over VNC")
                    .arg(x)
                    .arg(y)
                    .arg(expected.pixel(x, y) & 0xffffff, 6, 16, QLatin1Char('0'))
                    .arg(actual.pixel(x, y) & 0xffffff, 6, 16, QLatin1Char('0'));
    return QString();
}

// The same window on a plain Xvfb of the same size, started as scripts/run
// starts it, pictured from the X server itself.
QImage xvfbScreen(const QSize &size, const QStringList &args)
{
    // The resolution Xvnc is given, as desktops have it.
    kvtest::XSession x(size, 96);
    EXPECT_TRUE(x.isRunning()) << "Xvfb did not start";
    kvtest::TempDir config;
    writeQuietConfig(config.path());
    QProcess program;
    QProcessEnvironment env = x.environment();
    env.insert("XDG_CONFIG_HOME", config.path());
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(KV_APP_PATH, QStringList{"-geometry", QStringLiteral("%1x%2+0+0").arg(size.width()).arg(size.height())} + args);
    const QImage screen = stillPicture([&] {
        return QImage::fromData(x.import({"-window", "root", "png:-"}), "PNG").convertToFormat(QImage::Format_RGB32);
    });
    kvtest::endProcess(program);
    return screen;
}

class RunScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("Xvnc").isEmpty())
            GTEST_SKIP() << "TigerVNC's Xvnc is not installed (scripts/setup-deps installs it)";
    }

    // A viewer connected over the socket the script printed.
    std::unique_ptr<kvtest::RfbClient> viewerOf(RunSession &run, QString *socket = nullptr)
    {
        const QRegularExpressionMatch line = run.waitForLine(socketLine);
        EXPECT_TRUE(line.hasMatch()) << "no socket line in: " << run.output.toStdString();
        if (!line.hasMatch())
            return nullptr;
        EXPECT_EQ(line.captured(1), line.captured(2)) << "the ssh forward names another socket";
        if (socket)
            *socket = line.captured(1);
        auto viewer = std::make_unique<kvtest::RfbClient>();
        EXPECT_TRUE(viewer->connectSocket(line.captured(1)) && viewer->handshake())
            << viewer->error().toStdString();
        return viewer;
    }

    // Quits over VNC and expects the script, the editor and the server gone,
    // and the socket with them.
    void quitAndExpectAllGone(RunSession &run, kvtest::RfbClient &viewer, const QString &socket,
                              const QSize &screen = defaultScreen)
    {
        const QList<qint64> tree = processTree(run.process.processId());
        ASSERT_TRUE(run.quitOverVnc(viewer, screen)) << "the editor did not quit: " << viewer.error().toStdString();
        EXPECT_EQ(run.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process.exitCode(), 0);
        EXPECT_FALSE(QFileInfo::exists(socket)) << "the socket stayed";
        for (qint64 pid : tree)
            EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid))) << "process " << pid << " stayed";
        EXPECT_TRUE(QDir(run.runtime.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty())
            << "the runtime folder keeps: "
            << QDir(run.runtime.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).join(' ').toStdString();
    }
};

TEST_F(RunScriptTest, WithoutDisplayTheWindowIsServedOnAPrivateSocketInItsOwnColours)
{
    const QStringList args{"-e", kvtest::fixture("cbr128_joint.mp3")};
    RunSession run(args);
    QString socket;
    auto viewer = viewerOf(run, &socket);
    ASSERT_TRUE(viewer);

    // In the runtime folder, for this user only, and no TCP port anywhere.
    EXPECT_EQ(QFileInfo(socket).path(), run.runtime.path());
    struct stat info {};
    ASSERT_EQ(::stat(socket.toLocal8Bit().constData(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_uid, ::getuid());

    // The pointer out of the way: the viewer gets it drawn into the picture.
    ASSERT_TRUE(viewer->pointer(restingPoint(defaultScreen).x(), restingPoint(defaultScreen).y()));
    const QImage vnc = stillFrame(*viewer);
    ASSERT_FALSE(vnc.isNull()) << viewer->error().toStdString();
    EXPECT_EQ(vnc.size(), defaultScreen);
    EXPECT_NE(run.editor(), 0) << "the editor did not survive the Raw-only viewer";
    EXPECT_EQ(run.process.state(), QProcess::Running);
    EXPECT_EQ(listeningTcp(processTree(run.process.processId())).join(' ').toStdString(), "");

    // The colours a swapped or misread pixel format changes: the Play
    // button's green and the red play-position marker, as a plain X server has them.
    const QImage xvfb = xvfbScreen(defaultScreen, args);
    if (const QString dir = qEnvironmentVariable("KV_SCREENSHOT_DIR"); !dir.isEmpty()) {
        vnc.save(dir + "/vnc-session.png");
        xvfb.save(dir + "/vnc-session-xvfb.png");
    }
    ASSERT_EQ(xvfb.size(), vnc.size());
    int greens = 0;
    int reds = 0;
    const QRect play = areaOf(xvfb, playButton, isGreen, &greens);
    // The wave view, below the tool bars and above the overview.
    const QRect marker = areaOf(xvfb, QRect(0, 200, vnc.width(), 270), isRed, &reds);
    ASSERT_GE(greens, playGreens) << "no Play button at the top left";
    ASSERT_GE(reds, 50) << "no play-position marker in the wave view";
    EXPECT_EQ(firstDifference(xvfb, vnc, play).toStdString(), "");
    EXPECT_EQ(firstDifference(xvfb, vnc, marker).toStdString(), "");

    quitAndExpectAllGone(run, *viewer, socket);
}

// As on a server reached as root: no runtime folder. The script makes a
// private one for the socket and the editor, so that the editor has nothing to
// warn about, and removes it on quit.
TEST_F(RunScriptTest, WithoutDisplayOrRuntimeFolderTheScriptsLineIsAllThatIsPrinted)
{
    // A sound server answers, so the script has one line to say, not two.
    kvtest::PulseSession pulse;
    ASSERT_TRUE(pulse.isRunning()) << pulse.failure().toStdString();
    kvtest::TempDir scratch;
    QProcessEnvironment env;
    env.insert("PULSE_SERVER", pulse.address());
    env.insert("TMPDIR", scratch.path());
    RunSession run({"-e", kvtest::fixture("cbr128_joint.mp3")}, env, {"XDG_RUNTIME_DIR"}, QProcess::MergedChannels);
    QString socket;
    auto viewer = viewerOf(run, &socket);
    ASSERT_TRUE(viewer);

    // The socket's folder was made for this session, for this user only.
    const QString folder = QFileInfo(socket).path();
    EXPECT_EQ(QFileInfo(folder).path(), scratch.path());
    struct stat info {};
    ASSERT_EQ(::stat(folder.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::getuid());

    ASSERT_FALSE(stillFrame(*viewer).isNull()) << viewer->error().toStdString();
    const QStringList lines = run.lines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(socketLine.match(lines.first()).hasMatch()) << lines.first().toStdString();
    EXPECT_EQ(lines.mid(1).join('\n').toStdString(), "") << "printed besides the script's line";

    quitAndExpectAllGone(run, *viewer, socket);
    EXPECT_EQ(QDir(scratch.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).join(' ').toStdString(), "")
        << "the session's runtime folder stayed";
}

TEST_F(RunScriptTest, SecondRunGetsItsOwnServerAndSocketOfTheAskedSize)
{
    const QStringList args{"-e", kvtest::fixture("cbr128_joint.mp3")};
    RunSession first(args);
    QProcessEnvironment sized;
    sized.insert("KV_VNC_SIZE", "1200x760");
    RunSession second(args, sized);
    QString firstSocket;
    QString secondSocket;
    auto firstViewer = viewerOf(first, &firstSocket);
    auto secondViewer = viewerOf(second, &secondSocket);
    ASSERT_TRUE(firstViewer && secondViewer);
    EXPECT_NE(firstSocket, secondSocket);
    EXPECT_EQ(stillFrame(*firstViewer).size(), defaultScreen);
    EXPECT_EQ(stillFrame(*secondViewer).size(), QSize(1200, 760));

    quitAndExpectAllGone(first, *firstViewer, firstSocket);
    // The other session goes on.
    EXPECT_FALSE(secondViewer->frame().isNull()) << secondViewer->error().toStdString();
    EXPECT_NE(second.editor(), 0);
    quitAndExpectAllGone(second, *secondViewer, secondSocket, QSize(1200, 760));
}

TEST_F(RunScriptTest, TcpPortListensOnLoopbackOnlyAndRefusesAConnectionWithoutThePassword)
{
    const int port = freeTcpPort();
    ASSERT_GT(port, 0);
    QProcessEnvironment tcp;
    tcp.insert("KV_VNC_PORT", QString::number(port));
    RunSession run({"-e", kvtest::fixture("cbr128_joint.mp3")}, tcp);
    const QRegularExpressionMatch line = run.waitForLine(portLine);
    ASSERT_TRUE(line.hasMatch()) << "no port line in: " << run.output.toStdString();
    EXPECT_EQ(line.captured(1).toInt(), port);
    EXPECT_EQ(line.captured(3).toInt(), port);
    const QByteArray password = line.captured(2).toLatin1();
    EXPECT_EQ(password.size(), 8);
    EXPECT_EQ(run.output.count(QString::fromLatin1(password)), 1) << "the password was printed more than once";

    EXPECT_EQ(listeningTcp(processTree(run.process.processId())).join(' ').toStdString(),
              QStringLiteral("127.0.0.1:%1").arg(port).toStdString());
    EXPECT_TRUE(QDir(run.runtime.path()).entryList({"*.sock"}, QDir::System).isEmpty()) << "a socket besides the port";

    const struct {
        const char *what;
        QByteArray password;
    } refused[] = {{"no password", QByteArray()}, {"a wrong password", "wrong123"}};
    for (const auto &c : refused) {
        SCOPED_TRACE(c.what);
        kvtest::RfbClient viewer;
        ASSERT_TRUE(viewer.connectPort(port)) << viewer.error().toStdString();
        EXPECT_FALSE(viewer.handshake(c.password));
        EXPECT_EQ(viewer.securityTypes(), QList<int>{2}) << "offers more than VNC's password check";
    }

    kvtest::RfbClient viewer;
    ASSERT_TRUE(viewer.connectPort(port) && viewer.handshake(password)) << viewer.error().toStdString();
    EXPECT_FALSE(stillFrame(viewer).isNull()) << viewer.error().toStdString();
    const QList<qint64> tree = processTree(run.process.processId());
    ASSERT_TRUE(run.quitOverVnc(viewer, defaultScreen)) << "the editor did not quit: " << viewer.error().toStdString();
    EXPECT_EQ(run.process.exitCode(), 0);
    EXPECT_EQ(listeningTcp(tree).join(' ').toStdString(), "") << "the port stayed open";
}

// With a display, whatever the sound: without a sound server the script says
// so and starts the editor edit-only, so no box about the audio device comes.
TEST(RunScriptSoundTest, NoSoundServerStartsTheEditorEditOnlyWithOneLine)
{
    kvtest::XSession x;
    ASSERT_TRUE(x.isRunning()) << "Xvfb did not start";
    for (const bool withSound : {false, true}) {
        SCOPED_TRACE(withSound ? "sound server" : "no sound server");
        kvtest::PulseSession pulse;
        QProcessEnvironment env;
        env.insert("DISPLAY", x.display());
        env.insert("QT_QPA_PLATFORM", "xcb");
        if (withSound) {
            ASSERT_TRUE(pulse.isRunning()) << pulse.failure().toStdString();
            env.insert("PULSE_SERVER", pulse.address());
        }
        RunSession run({kvtest::fixture("cbr128_joint.mp3")}, env);
        const QString window = x.waitForWindow(mainWindowTitle, slowMs);
        ASSERT_FALSE(window.isEmpty()) << "the main window did not show";
        if (withSound) {
            EXPECT_TRUE(kvtest::waitFor([&] { return pulse.streamCount() > 0; }, slowMs)) << "the song did not play";
            EXPECT_FALSE(run.lines().contains(noSoundLine));
        } else {
            // What must not come gets the time it would have taken.
            QThread::msleep(4000);
            EXPECT_FALSE(x.hasWindow(boxTitle)) << "a box showed at start";
            EXPECT_EQ(run.lines().join('\n').toStdString(), noSoundLine.toStdString());
        }
        ASSERT_TRUE(x.sendKeys(window, {"ctrl+q"}));
        ASSERT_TRUE(run.process.waitForFinished(slowMs));
        EXPECT_EQ(run.process.exitCode(), 0);
    }
}

} // namespace
