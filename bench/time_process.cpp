// Runs one command with standard input from a file and its output discarded,
// and prints its wall time in microseconds, its peak resident set in KiB and
// its exit status. The clock runs from the spawn to the reaping of this one
// process, so no shell or wrapper is timed with it.
//
//   time_process INPUT COMMAND [ARGS...]

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <iostream>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: time_process INPUT COMMAND [ARGS...]\n";
        return 2;
    }
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, argv[1], O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[2], &files, nullptr, argv + 2, environ) != 0) {
        std::cerr << "cannot start " << argv[2] << "\n";
        return 2;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return 2;
    const auto stop = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&files);

    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(stop - start);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::cout << micros.count() << ' ' << usage.ru_maxrss << ' ' << code << '\n';
    return 0;
}
