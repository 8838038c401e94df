/* Preloaded into the converter. OSTREL_FAULT=EIO=N: reads of files fail with
 * EIO once N bytes have been read; EOF=N: they end there; ENOSPC=N: writes to
 * files fail with ENOSPC once N bytes have been written. Descriptors 0 to 2
 * are left alone. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef ssize_t (*transfer)(int, void*, size_t);
static size_t done[2]; /* bytes read, bytes written */

/* The number of bytes the next call may move: count, less once a limit is near;
 * -1 with errno set once it is reached. */
static ssize_t allowed(int fd, int writing, size_t count, int* at_end) {
    const char* fault = getenv("OSTREL_FAULT");
    const char* kind = writing ? "ENOSPC=" : strncmp(fault ? fault : "", "EOF=", 4) == 0 ? "EOF=" : "EIO=";
    *at_end = 0;
    if (fd < 3 || !fault || strncmp(fault, kind, strlen(kind)) != 0) return (ssize_t)count;
    size_t limit = strtoull(fault + strlen(kind), NULL, 10);
    if (done[writing] < limit) return (ssize_t)(limit - done[writing] < count ? limit - done[writing] : count);
    *at_end = kind[1] == 'O';
    errno = writing ? ENOSPC : EIO;
    return -1;
}

static ssize_t moved(int fd, void* buffer, size_t count, int writing) {
    transfer real = (transfer)dlsym(RTLD_NEXT, writing ? "write" : "read");
    int at_end;
    ssize_t may = allowed(fd, writing, count, &at_end);
    if (may < 0) return at_end ? 0 : -1;
    ssize_t result = real(fd, buffer, (size_t)may);
    if (result > 0 && fd >= 3) done[writing] += (size_t)result;
    return result;
}

ssize_t read(int fd, void* buffer, size_t count) { return moved(fd, buffer, count, 0); }
ssize_t write(int fd, const void* data, size_t count) { return moved(fd, (void*)data, count, 1); }
