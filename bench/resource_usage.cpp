// resource_usage PROGRAM [ARGS...]: runs the program with its output
// discarded and prints its exit status, peak resident memory in KiB, and user
// and system CPU seconds. A small static launcher, so that the memory counted
// before the exec is its own, not that of the script that times the runs.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace {
double seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6; }
}  // namespace

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
    std::printf("%d %ld %.6f %.6f\n", WIFEXITED(status) ? WEXITSTATUS(status) : 128, usage.ru_maxrss, seconds(usage.ru_utime),
                seconds(usage.ru_stime));
    return 0;
}
