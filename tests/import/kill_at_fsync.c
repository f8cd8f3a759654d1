/* Preloaded into pkeep-admin by the tests: kills the process with SIGKILL
 * right after its Nth fsync (N from PK_KILL_AFTER_FSYNC), as a crash or a
 * power cut would stop it between two durable steps.  fdatasync counts too. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

static void count_and_maybe_die(void) {
    static int done;
    const char* after = getenv("PK_KILL_AFTER_FSYNC");
    if (after && ++done == atoi(after)) kill(getpid(), SIGKILL);
}

int fsync(int fd) {
    static int (*real)(int);
    if (!real) real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    const int rc = real(fd);
    count_and_maybe_die();
    return rc;
}

int fdatasync(int fd) {
    static int (*real)(int);
    if (!real) real = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    const int rc = real(fd);
    count_and_maybe_die();
    return rc;
}
