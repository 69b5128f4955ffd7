// Preloaded into the real program by tests and scripts that need a file on a
// slow medium (a network share, a USB stick): every read from a file whose
// path contains KV_SLOW_READ_MATCH is held back so that those reads together
// run at no more than KV_SLOW_READ_BYTES_PER_SEC. Other files read at full
// speed. Without both variables nothing changes.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

static int isSlow(int fd)
{
    const char *match = getenv("KV_SLOW_READ_MATCH");
    if (!match || !*match || fd < 0)
        return 0;
    char link[64];
    char path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return 0;
    path[n] = 0;
    return strstr(path, match) != NULL;
}

static void holdBack(ssize_t bytes)
{
    const char *rateText = getenv("KV_SLOW_READ_BYTES_PER_SEC");
    const double rate = rateText ? atof(rateText) : 0.0;
    if (bytes <= 0 || rate <= 0.0)
        return;
    const double seconds = (double)bytes / rate;
    struct timespec t;
    t.tv_sec = (time_t)seconds;
    t.tv_nsec = (long)((seconds - (double)t.tv_sec) * 1e9);
    while (nanosleep(&t, &t) != 0) {
    }
}

ssize_t pread(int fd, void *buf, size_t count, off_t offset)
{
    static ssize_t (*real)(int, void *, size_t, off_t);
    if (!real)
        real = (ssize_t(*)(int, void *, size_t, off_t))dlsym(RTLD_NEXT, "pread");
    const ssize_t got = real(fd, buf, count, offset);
    if (isSlow(fd))
        holdBack(got);
    return got;
}

ssize_t pread64(int fd, void *buf, size_t count, off_t offset)
{
    static ssize_t (*real)(int, void *, size_t, off_t);
    if (!real)
        real = (ssize_t(*)(int, void *, size_t, off_t))dlsym(RTLD_NEXT, "pread64");
    const ssize_t got = real(fd, buf, count, offset);
    if (isSlow(fd))
        holdBack(got);
    return got;
}

ssize_t read(int fd, void *buf, size_t count)
{
    static ssize_t (*real)(int, void *, size_t);
    if (!real)
        real = (ssize_t(*)(int, void *, size_t))dlsym(RTLD_NEXT, "read");
    const ssize_t got = real(fd, buf, count);
    if (isSlow(fd))
        holdBack(got);
    return got;
}
