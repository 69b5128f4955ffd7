// Preloaded by scripts/run when there is no display: Qt's VNC platform
// listens on every network interface and has no option to do otherwise, so
// this moves the listening socket of that one port to the loopback interface.
// The port is taken from KV_VNC_PORT.
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>

int bind(int fd, const struct sockaddr *addr, socklen_t len)
{
    static int (*realBind)(int, const struct sockaddr *, socklen_t);
    if (!realBind)
        realBind = (int (*)(int, const struct sockaddr *, socklen_t))dlsym(RTLD_NEXT, "bind");
    const char *portText = getenv("KV_VNC_PORT");
    const int port = portText ? atoi(portText) : -1;
    if (addr && addr->sa_family == AF_INET && len >= sizeof(struct sockaddr_in)) {
        struct sockaddr_in a;
        memcpy(&a, addr, sizeof a);
        if (ntohs(a.sin_port) == port && a.sin_addr.s_addr == htonl(INADDR_ANY)) {
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            return realBind(fd, (const struct sockaddr *)&a, sizeof a);
        }
    } else if (addr && addr->sa_family == AF_INET6 && len >= sizeof(struct sockaddr_in6)) {
        struct sockaddr_in6 a;
        memcpy(&a, addr, sizeof a);
        if (ntohs(a.sin6_port) == port && IN6_IS_ADDR_UNSPECIFIED(&a.sin6_addr)) {
            // Qt listens dual-stack: 127.0.0.1 as an IPv4-mapped address.
            inet_pton(AF_INET6, "::ffff:127.0.0.1", &a.sin6_addr);
            return realBind(fd, (const struct sockaddr *)&a, sizeof a);
        }
    }
    return realBind(fd, addr, len);
}
