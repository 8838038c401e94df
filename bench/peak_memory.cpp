// peak_memory PROGRAM [ARGS...]: runs the program with its output discarded
// and prints its exit status and peak resident memory in KiB. A small static
// launcher, so that the memory counted before the exec is its own, not that
// of the script that times the runs.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    pid_t child = fork();
    if (child == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execv(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) < 0) return 2;
    std::printf("%d %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : 128, usage.ru_maxrss);
    return 0;
}
