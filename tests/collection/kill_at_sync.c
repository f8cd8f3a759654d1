/* Preloaded into a test program: once PK_KILL_ARMED is set, kills the
 * process with SIGKILL right after its Nth sync, rename, link or unlink (N
 * from PK_KILL_AFTER): the steps that order a change on disk, so a crash
 * stops it between any two of them. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

static void step(void) {
    static int done;
    const char* after = getenv("PK_KILL_AFTER");
    if (!getenv("PK_KILL_ARMED") || !after) return;
    if (++done == atoi(after)) kill(getpid(), SIGKILL);
}

#define REAL(fn)                 \
    static __typeof__(fn)* real; \
    if (!real) real = (__typeof__(fn)*)dlsym(RTLD_NEXT, #fn)

int fsync(int fd) {
    REAL(fsync);
    const int rc = real(fd);
    step();
    return rc;
}

int fdatasync(int fd) {
    REAL(fdatasync);
    const int rc = real(fd);
    step();
    return rc;
}

int rename(const char* from, const char* to) {
    REAL(rename);
    const int rc = real(from, to);
    step();
    return rc;
}

int link(const char* from, const char* to) {
    REAL(link);
    const int rc = real(from, to);
    step();
    return rc;
}

int unlink(const char* path) {
    REAL(unlink);
    const int rc = real(path);
    step();
    return rc;
}
