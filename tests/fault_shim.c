/* Preloaded into the converter: OSTREL_FAULT=EIO=N makes reads of files fail
 * with EIO once N bytes have been read, EOF=N makes them end there, and
 * ENOSPC=N makes writes to files fail once N bytes have been written.
 * Descriptors 0 to 2 are left alone. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static size_t read_total, write_total;

static size_t fault_limit(const char* kind) {
    const char* fault = getenv("OSTREL_FAULT");
    size_t length = strlen(kind);
    if (!fault || strncmp(fault, kind, length) != 0 || fault[length] != '=') return (size_t)-1;
    return (size_t)strtoull(fault + length + 1, NULL, 10);
}

static size_t allowed(size_t done, size_t limit, size_t count) { return limit - done < count ? limit - done : count; }

ssize_t read(int fd, void* buffer, size_t count) {
    static ssize_t (*real_read)(int, void*, size_t);
    if (!real_read) real_read = (ssize_t (*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
    if (fd < 3) return real_read(fd, buffer, count);
    size_t eio = fault_limit("EIO"), eof = fault_limit("EOF");
    size_t limit = eio < eof ? eio : eof;
    if (read_total >= limit) {
        if (limit == eof) return 0;
        errno = EIO;
        return -1;
    }
    ssize_t got = real_read(fd, buffer, allowed(read_total, limit, count));
    if (got > 0) read_total += (size_t)got;
    return got;
}

ssize_t write(int fd, const void* data, size_t count) {
    static ssize_t (*real_write)(int, const void*, size_t);
    if (!real_write) real_write = (ssize_t (*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    size_t limit = fault_limit("ENOSPC");
    if (fd < 3 || limit == (size_t)-1) return real_write(fd, data, count);
    if (write_total >= limit) {
        errno = ENOSPC;
        return -1;
    }
    ssize_t written = real_write(fd, data, allowed(write_total, limit, count));
    if (written > 0) write_total += (size_t)written;
    return written;
}
