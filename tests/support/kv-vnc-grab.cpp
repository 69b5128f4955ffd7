// Saves one picture of a VNC session as PNG, taken as the tests' minimal
// viewer takes it (Raw encoding only), for the screenshot scripts.
// Usage: kv-vnc-grab SOCKET|PORT OUT.png [PASSWORD]
#include "KvRfbClient.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: kv-vnc-grab SOCKET|PORT OUT.png [PASSWORD]\n");
        return 2;
    }
    const QString target = QString::fromLocal8Bit(argv[1]);
    bool isPort = false;
    const int port = target.toInt(&isPort);
    kvtest::RfbClient client;
    const bool connected = isPort ? client.connectPort(port) : client.connectSocket(target);
    QImage picture;
    if (connected && client.handshake(argc == 4 ? QByteArray(argv[3]) : QByteArray()))
        picture = client.frame();
    if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "kv-vnc-grab: %s\n", qPrintable(picture.isNull() ? client.error() : "cannot write"));
        return 1;
    }
    return 0;
}
