/* Preloaded into pkeep-admin by the tests: kills the process with SIGKILL
 * right after its Nth successful rename (N from PK_KILL_AFTER_RENAME), as a
 * crash or a power cut would stop it between two steps of a table swap. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int rename(const char* from, const char* to) {
    static int (*real)(const char*, const char*);
    static int done;
    if (!real) real = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
    const int rc = real(from, to);
    const char* after = getenv("PK_KILL_AFTER_RENAME");
    if (rc == 0 && after && ++done == atoi(after)) kill(getpid(), SIGKILL);
    return rc;
}
