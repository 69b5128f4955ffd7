#include "KvRfbClient.h"

#include <nettle/des.h>

#include <QRegion>
#include <QtEndian>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace kvtest {

namespace {
constexpr int securityNone = 1;
constexpr int securityVncAuth = 2;
constexpr int encodingRaw = 0;
// A loaded machine draws a big first frame slowly.
constexpr int ioTimeoutSeconds = 60;

void setTimeouts(int fd)
{
    timeval tv{};
    tv.tv_sec = ioTimeoutSeconds;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

// VNC authentication's answer to the server's 16-byte challenge.
QByteArray vncAuthResponse(const QByteArray &challenge, const QByteArray &password)
{
    // VNC's DES key is the password, eight bytes at most, each byte's bits reversed.
    uint8_t key[DES_KEY_SIZE] = {};
    for (int i = 0; i < DES_KEY_SIZE && i < password.size(); ++i) {
        uint8_t b = uint8_t(password[i]);
        uint8_t r = 0;
        for (int bit = 0; bit < 8; ++bit)
            r |= uint8_t(((b >> bit) & 1) << (7 - bit));
        key[i] = r;
    }
    des_ctx ctx;
    des_set_key(&ctx, key);
    QByteArray response(challenge.size(), '\0');
    des_encrypt(&ctx, size_t(challenge.size()), reinterpret_cast<uint8_t *>(response.data()),
                reinterpret_cast<const uint8_t *>(challenge.constData()));
    return response;
}

} // namespace

RfbClient::~RfbClient()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RfbClient::fail(const QString &why)
{
    m_error = why;
    return false;
}

bool RfbClient::connectSocket(const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = path.toLocal8Bit();
    if (name.size() >= int(sizeof address.sun_path))
        return fail(QStringLiteral("socket path too long"));
    std::memcpy(address.sun_path, name.constData(), name.size());
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return fail(QStringLiteral("cannot connect to %1: %2").arg(path, QString::fromLocal8Bit(strerror(errno))));
    setTimeouts(m_fd);
    return true;
}

bool RfbClient::connectPort(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return fail(QStringLiteral("cannot connect to port %1: %2").arg(port).arg(QString::fromLocal8Bit(strerror(errno))));
    setTimeouts(m_fd);
    return true;
}

bool RfbClient::readExact(void *data, int size)
{
    char *p = static_cast<char *>(data);
    while (size > 0) {
        const ssize_t n = ::recv(m_fd, p, size_t(size), 0);
        if (n <= 0)
            return fail(n == 0 ? QStringLiteral("the server closed the connection")
                               : QStringLiteral("read: ") + QString::fromLocal8Bit(strerror(errno)));
        p += n;
        size -= int(n);
    }
    return true;
}

bool RfbClient::writeAll(const void *data, int size)
{
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::send(m_fd, p, size_t(size), MSG_NOSIGNAL);
        if (n <= 0)
            return fail(QStringLiteral("write: ") + QString::fromLocal8Bit(strerror(errno)));
        p += n;
        size -= int(n);
    }
    return true;
}

bool RfbClient::readU8(quint8 &v) { return readExact(&v, 1); }
bool RfbClient::readU16(quint16 &v) { return readBigEndian(v); }
bool RfbClient::readU32(quint32 &v) { return readBigEndian(v); }

template <typename T> bool RfbClient::readBigEndian(T &v)
{
    uchar b[sizeof(T)];
    if (!readExact(b, int(sizeof b)))
        return false;
    v = qFromBigEndian<T>(b);
    return true;
}

// The server refused: false, with its reason text, when it sends one, in the
// error (servers before 3.8 send none after a failed authentication).
bool RfbClient::readReason()
{
    QString reason;
    quint32 length = 0;
    if (readU32(length) && length <= 4096) {
        QByteArray text(int(length), '\0');
        if (readExact(text.data(), int(length)))
            reason = QString::fromUtf8(text);
    }
    return fail(reason.isEmpty() ? QStringLiteral("refused") : QStringLiteral("refused: ") + reason);
}

bool RfbClient::handshake(const QByteArray &password)
{
    char version[12];
    if (!readExact(version, 12))
        return false;
    if (std::memcmp(version, "RFB 003.", 8) != 0)
        return fail(QStringLiteral("not an RFB server"));
    if (!writeAll("RFB 003.008\n", 12))
        return false;

    quint8 count = 0;
    if (!readU8(count))
        return false;
    if (count == 0)
        return readReason();
    QByteArray types(count, '\0');
    if (!readExact(types.data(), count))
        return false;
    m_securityTypes.clear();
    for (char t : types)
        m_securityTypes << quint8(t);

    const quint8 chosen = password.isEmpty() ? securityNone : securityVncAuth;
    if (!writeAll(&chosen, 1))
        return false;
    if (chosen == securityVncAuth) {
        QByteArray challenge(16, '\0');
        if (!readExact(challenge.data(), 16))
            return false;
        const QByteArray response = vncAuthResponse(challenge, password);
        if (!writeAll(response.constData(), response.size()))
            return false;
    }
    quint32 result = 1;
    if (!readU32(result))
        return false;
    if (result != 0)
        return readReason();

    const quint8 shared = 1;
    if (!writeAll(&shared, 1))
        return false;
    quint16 width = 0;
    quint16 height = 0;
    uchar serverFormat[16];
    quint32 nameLength = 0;
    if (!readU16(width) || !readU16(height) || !readExact(serverFormat, 16) || !readU32(nameLength) ||
        nameLength > 4096)
        return false;
    // The desktop's name: read past, nothing here needs it.
    QByteArray name(int(nameLength), '\0');
    if (!readExact(name.data(), int(nameLength)))
        return false;
    m_width = width;
    m_height = height;

    // 32 bits, depth 24, little-endian, true colour, 8 bits each: red at
    // bit 16, green at 8, blue at 0, as QImage::Format_RGB32 holds them.
    const uchar setPixelFormat[20] = {0, 0, 0, 0, 32, 24, 0, 1, 0, 255, 0, 255, 0, 255, 16, 8, 0, 0, 0, 0};
    uchar setEncodings[8] = {2, 0, 0, 1};
    qToBigEndian<qint32>(encodingRaw, setEncodings + 4);
    return writeAll(setPixelFormat, sizeof setPixelFormat) && writeAll(setEncodings, sizeof setEncodings);
}

QImage RfbClient::frame()
{
    if (m_fd < 0 || m_width <= 0 || m_height <= 0) {
        fail(QStringLiteral("no session"));
        return QImage();
    }
    uchar request[10] = {3, 0};
    qToBigEndian<quint16>(0, request + 2);
    qToBigEndian<quint16>(0, request + 4);
    qToBigEndian<quint16>(quint16(m_width), request + 6);
    qToBigEndian<quint16>(quint16(m_height), request + 8);
    if (!writeAll(request, sizeof request))
        return QImage();

    QImage image(m_width, m_height, QImage::Format_RGB32);
    image.fill(Qt::black);
    // A server may answer in several updates; the picture is whole once they cover the screen.
    QRegion missing(0, 0, m_width, m_height);
    while (!missing.isEmpty()) {
        quint8 type = 0;
        if (!readU8(type))
            return QImage();
        if (type == 2) // bell
            continue;
        if (type == 3) { // cut text
            uchar pad[3];
            quint32 length = 0;
            if (!readExact(pad, 3) || !readU32(length))
                return QImage();
            QByteArray text(int(length), '\0');
            if (!readExact(text.data(), int(length)))
                return QImage();
            continue;
        }
        if (type != 0) {
            fail(QStringLiteral("unexpected server message %1").arg(type));
            return QImage();
        }
        quint8 pad = 0;
        quint16 rects = 0;
        if (!readU8(pad) || !readU16(rects))
            return QImage();
        for (int i = 0; i < rects; ++i) {
            quint16 x = 0, y = 0, w = 0, h = 0;
            quint32 encoding = 0;
            if (!readU16(x) || !readU16(y) || !readU16(w) || !readU16(h) || !readU32(encoding))
                return QImage();
            if (encoding != encodingRaw) {
                fail(QStringLiteral("the server sent encoding %1, not Raw").arg(qint32(encoding)));
                return QImage();
            }
            if (x + w > m_width || y + h > m_height) {
                fail(QStringLiteral("a rectangle outside the screen"));
                return QImage();
            }
            for (int row = 0; row < h; ++row)
                if (!readExact(image.scanLine(y + row) + x * 4, w * 4))
                    return QImage();
            missing -= QRect(x, y, w, h);
        }
    }
    return image;
}

bool RfbClient::key(quint32 keysym, bool down)
{
    uchar event[8] = {4, uchar(down ? 1 : 0), 0, 0};
    qToBigEndian<quint32>(keysym, event + 4);
    return writeAll(event, sizeof event);
}

bool RfbClient::pointer(int x, int y, int buttons)
{
    uchar event[6] = {5, uchar(buttons)};
    qToBigEndian<quint16>(quint16(x), event + 2);
    qToBigEndian<quint16>(quint16(y), event + 4);
    return writeAll(event, sizeof event);
}

} // namespace kvtest
