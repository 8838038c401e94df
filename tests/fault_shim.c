/* Preloaded into the converter to make its calls fail. OSTREL_FAULT holds
 * one or more KIND=N, joined by "+" (qemu's -E takes commas for itself):
 *   EIO=N, EOF=N  reads fail with EIO, or end, once N bytes have been read
 *   ENOSPC=N, ZERO=N  writes fail with ENOSPC, or move nothing, once N bytes are written
 *   SHORT=N       every read and every write moves at most N bytes
 *   EINTR=N       the N-th read and the N-th write fail with EINTR
 *   read=N        the N-th read fails with EIO; later ones read on
 *   CALLS=N       writes after the N-th fail with EIO
 *   LARGE=N       writes of more than N bytes fail with EIO
 *   close=N, fstat=N, stat=N, ftruncate=N, fsync=N, rename=N, lseek=N   the N-th such call fails with EIO
 *   calloc=N      an allocation of N zeroed bytes fails
 *   TERMRENAME=1, TERMFSYNC=1  SIGTERM is raised as each rename, or each fsync, starts
 *   TERM=N        the first write of more than N bytes writes N, raises SIGTERM, then writes the rest
 * Reads and writes count only descriptors from 3 on, not the console. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>

extern void* __libc_calloc(size_t, size_t);
static size_t done[2], calls[3]; /* bytes and calls: reads, writes; all writes */
static int raised;           /* whether TERM has raised its signal */

/* Whether the fault names this kind; its number in *n. */
static int fault_is(const char* kind, size_t* n) {
    size_t length = strlen(kind);
    for (const char* at = getenv("OSTREL_FAULT"); at; at = strchr(at, '+') ? strchr(at, '+') + 1 : NULL)
        if (strncmp(at, kind, length) == 0 && at[length] == '=') {
            *n = strtoull(at + length + 1, NULL, 10);
            return 1;
        }
    return 0;
}

/* Counts the call; true, with errno set, when it is the one to fail. */
static int fails(const char* kind, size_t* count) {
    size_t n;
    if (!fault_is(kind, &n) || ++*count != n) return 0;
    errno = EIO;
    return 1;
}

static size_t lseek_calls, close_calls, fstat_calls, stat_calls, ftruncate_calls, fsync_calls, rename_calls, read_calls;

static ssize_t moved(int fd, void* buffer, size_t count, int writing) {
    typedef ssize_t (*transfer)(int, void*, size_t);
    transfer real = (transfer)dlsym(RTLD_NEXT, writing ? "write" : "read");
    size_t n, room = count;
    if (fd < 3) return real(fd, buffer, count);
    if (fault_is("EINTR", &n) && ++calls[writing] == n) return errno = EINTR, -1;
    if (!writing && fails("read", &read_calls)) return -1;
    if (writing && fault_is("CALLS", &n) && ++calls[2] > n) return errno = EIO, -1;
    if (writing && fault_is("LARGE", &n) && count > n) return errno = EIO, -1;
    if (fault_is("SHORT", &n) && n < room) room = n;
    int ends = fault_is(writing ? "ZERO" : "EOF", &n);
    if (ends || fault_is(writing ? "ENOSPC" : "EIO", &n)) {
        if (done[writing] >= n && ends) return 0;
        if (done[writing] >= n) return errno = writing ? ENOSPC : EIO, -1;
        if (n - done[writing] < room) room = n - done[writing];
    }
    if (writing && fault_is("TERM", &n) && room > n && !raised++) {
        ssize_t first = real(fd, buffer, n);
        raise(SIGTERM); /* ends the process here unless the write holds it off */
        ssize_t rest = first == (ssize_t)n ? real(fd, (char*)buffer + n, room - n) : 0;
        return rest < 0 ? rest : first + rest;
    }
    ssize_t result = real(fd, buffer, room);
    if (result > 0) done[writing] += (size_t)result;
    return result;
}

ssize_t read(int fd, void* buffer, size_t count) { return moved(fd, buffer, count, 0); }
ssize_t write(int fd, const void* data, size_t count) { return moved(fd, (void*)data, count, 1); }

int fsync(int fd) {
    size_t n;
    if (fault_is("TERMFSYNC", &n)) raise(SIGTERM); /* ends the process here unless the sync holds it off */
    return fails("fsync", &fsync_calls) ? -1 : ((int (*)(int))dlsym(RTLD_NEXT, "fsync"))(fd);
}
int rename(const char* from, const char* to) {
    typedef int (*renaming)(const char*, const char*);
    size_t n;
    if (fault_is("TERMRENAME", &n)) raise(SIGTERM); /* ends the process here unless the rename holds it off */
    return fails("rename", &rename_calls) ? -1 : ((renaming)dlsym(RTLD_NEXT, "rename"))(from, to);
}
int close(int fd) { return fails("close", &close_calls) ? -1 : ((int (*)(int))dlsym(RTLD_NEXT, "close"))(fd); }
/* With 64-bit offsets, 32-bit programs call the ...64 names. */
#define FSTAT(name)                                                  \
    int name(int fd, void* info) {                                   \
        if (fails("fstat", &fstat_calls)) return -1;                 \
        return ((int (*)(int, void*))dlsym(RTLD_NEXT, #name))(fd, info); \
    }
#define FTRUNCATE(name, offset)                                         \
    int name(int fd, offset size) {                                     \
        if (fails("ftruncate", &ftruncate_calls)) return -1;            \
        return ((int (*)(int, offset))dlsym(RTLD_NEXT, #name))(fd, size); \
    }
#define STAT(name)                                                        \
    int name(const char* path, void* info) {                              \
        if (fails("stat", &stat_calls)) return -1;                        \
        return ((int (*)(const char*, void*))dlsym(RTLD_NEXT, #name))(path, info); \
    }
#define LSEEK(name, offset)                                                   \
    offset name(int fd, offset at, int whence) {                              \
        if (fails("lseek", &lseek_calls)) return -1;                          \
        return ((offset(*)(int, offset, int))dlsym(RTLD_NEXT, #name))(fd, at, whence); \
    }
LSEEK(lseek, off_t)
LSEEK(lseek64, off64_t)
FSTAT(fstat)
FSTAT(fstat64)
STAT(stat)
STAT(stat64)
FTRUNCATE(ftruncate, off_t)
FTRUNCATE(ftruncate64, off64_t)

void* calloc(size_t count, size_t size) {
    size_t n;
    if (fault_is("calloc", &n) && count * size == n) return errno = ENOMEM, NULL;
    return __libc_calloc(count, size);
}
