#pragma once
// A private X server (Xvfb) for tests that start the real program and drive
// it as a person would, with xdotool keys and clicks.
#include <QProcess>
#include <QProcessEnvironment>
#include <QSize>
#include <QString>
#include <QStringList>

namespace kvtest {

class XSession {
public:
    // dpi 0 keeps the server's own resolution.
    explicit XSession(QSize screen = QSize(1600, 1000), int dpi = 0);
    ~XSession();
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;

    bool isRunning() const { return !m_display.isEmpty(); }
    QString display() const { return m_display; }
    // The caller's environment with this display and Qt's X11 platform.
    QProcessEnvironment environment() const;

    // Runs xdotool on this display; returns its trimmed output.
    QString xdotool(const QStringList &args, int *exitCode = nullptr) const;
    // Runs ImageMagick's import on this display; returns its output (the
    // picture when it writes to stdout).
    QByteArray import(const QStringList &args, int *exitCode = nullptr) const;
    // The window's size as xdotool reports it; invalid when it could not.
    QSize windowSize(const QString &window) const;
    // The id of a mapped window whose title matches the regular expression,
    // waiting up to timeoutMs; empty when none showed.
    QString waitForWindow(const QString &title, int timeoutMs = 20000) const;
    bool hasWindow(const QString &title) const;
    // Gives the window the keyboard focus and types the keys (xdotool names,
    // e.g. "ctrl+q", "Escape").
    bool sendKeys(const QString &window, const QStringList &keys) const;
    // Gives the window the focus and types the text as a person would.
    bool typeText(const QString &window, const QString &text) const;
    // A mouse click at (x, y) inside the window; button 1 left, 3 right.
    bool click(const QString &window, int x, int y, int button = 1) const;
    // The text on this display's clipboard; empty when nobody holds one.
    QString clipboard() const;

private:
    // Runs the program on this display, up to 20 s; returns its standard output.
    QByteArray run(const QString &program, const QStringList &args, int *exitCode) const;

    QProcess m_server;
    QString m_display;
};

} // namespace kvtest
