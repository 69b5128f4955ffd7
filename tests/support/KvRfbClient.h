#pragma once
// A minimal VNC (RFB 3.8) viewer for tests: it asks for the Raw encoding only,
// in 32-bit true colour, as the simplest clients and scripts do.
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

namespace kvtest {

class RfbClient {
public:
    RfbClient() = default;
    ~RfbClient();
    RfbClient(const RfbClient &) = delete;
    RfbClient &operator=(const RfbClient &) = delete;

    // A server on a Unix socket, or on a TCP port of 127.0.0.1.
    bool connectSocket(const QString &path);
    bool connectPort(int port);

    // The version exchange, security and the initialisation. Without a
    // password it asks for no authentication; with one, for VNC's own.
    // False when the server refused; error() says why.
    bool handshake(const QByteArray &password = QByteArray());
    // What the server offered during the handshake.
    QList<int> securityTypes() const { return m_securityTypes; }

    // One whole picture of the screen, from a non-incremental update; null on failure.
    QImage frame();

    // Input as a remote user gives it: a key (an X keysym) pressed or
    // released, the pointer moved with the buttons of the mask held.
    bool key(quint32 keysym, bool down);
    bool pointer(int x, int y, int buttons = 0);

    QString error() const { return m_error; }

private:
    bool fail(const QString &why);
    bool readExact(void *data, int size);
    bool writeAll(const void *data, int size);
    bool readU8(quint8 &v);
    bool readU16(quint16 &v);
    bool readU32(quint32 &v);
    template <typename T> bool readBigEndian(T &v);
    bool readReason();

    int m_fd = -1;
    QList<int> m_securityTypes;
    int m_width = 0;
    int m_height = 0;
    QString m_error;
};

} // namespace kvtest
