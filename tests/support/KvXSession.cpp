#include "KvXSession.h"

#include "KvTestSupport.h"

#include <QElapsedTimer>
#include <QThread>

namespace kvtest {

XSession::XSession(QSize screen, int dpi)
{
    // Xvfb picks a free display itself and writes its number to stdout.
    QStringList args{QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                     QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                     QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height())};
    if (dpi > 0)
        args << QStringLiteral("-dpi") << QString::number(dpi);
    m_server.start(QStringLiteral("Xvfb"), args);
    if (!m_server.waitForStarted())
        return;
    QByteArray number;
    QElapsedTimer clock;
    clock.start();
    while (!number.contains('\n') && clock.elapsed() < 20000 && m_server.state() == QProcess::Running) {
        m_server.waitForReadyRead(200);
        number += m_server.readAllStandardOutput();
    }
    if (number.contains('\n'))
        m_display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
}

XSession::~XSession() { endProcess(m_server); }

QProcessEnvironment XSession::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

QByteArray XSession::run(const QString &program, const QStringList &args, int *exitCode) const
{
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(program, args);
    const bool finished = p.waitForStarted() && p.waitForFinished(20000);
    if (exitCode)
        *exitCode = finished && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

QString XSession::xdotool(const QStringList &args, int *exitCode) const
{
    return QString::fromLocal8Bit(run(QStringLiteral("xdotool"), args, exitCode)).trimmed();
}

QByteArray XSession::import(const QStringList &args, int *exitCode) const
{
    return run(QStringLiteral("/usr/bin/import"), args, exitCode);
}

QSize XSession::windowSize(const QString &window) const
{
    int width = -1;
    int height = -1;
    const QString shell = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    for (const QString &line : shell.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("WIDTH=")))
            width = line.mid(6).toInt();
        else if (line.startsWith(QLatin1String("HEIGHT=")))
            height = line.mid(7).toInt();
    }
    return width >= 0 && height >= 0 ? QSize(width, height) : QSize();
}

bool XSession::hasWindow(const QString &title) const
{
    return !xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), title})
                .isEmpty();
}

QString XSession::waitForWindow(const QString &title, int timeoutMs) const
{
    QElapsedTimer clock;
    clock.start();
    do {
        const QString ids =
            xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), title});
        if (!ids.isEmpty())
            return ids.split(QLatin1Char('\n')).first();
        QThread::msleep(100);
    } while (clock.elapsed() < timeoutMs);
    return QString();
}

bool XSession::sendKeys(const QString &window, const QStringList &keys) const
{
    int code = 0;
    xdotool(QStringList{QStringLiteral("windowfocus"), QStringLiteral("--sync"), window, QStringLiteral("key"),
                        QStringLiteral("--clearmodifiers")} + keys, &code);
    return code == 0;
}

bool XSession::typeText(const QString &window, const QString &text) const
{
    int code = 0;
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window, QStringLiteral("type"),
             QStringLiteral("--delay"), QStringLiteral("20"), text},
            &code);
    return code == 0;
}

bool XSession::click(const QString &window, int x, int y, int button) const
{
    int code = 0;
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x), QString::number(y),
             QStringLiteral("click"), QString::number(button)},
            &code);
    return code == 0;
}

QString XSession::clipboard() const
{
    int code = -1;
    const QStringList args{QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")};
    const QByteArray text = run(QStringLiteral("xclip"), args, &code);
    return code == 0 ? QString::fromUtf8(text) : QString();
}

} // namespace kvtest
