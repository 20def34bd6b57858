// Runs one command and prints what it cost: wall-clock seconds, user + system CPU seconds and
// the peak resident set size of the command and its descendants (wait4's ru_maxrss).
//
//   bench-timed-run [--stdin FILE] [--quiet] -- COMMAND [ARGS...]
//     prints: WALL_S CPU_S MAXRSS_KB EXIT_CODE
//   --quiet sends the command's stdout and stderr to /dev/null.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double Seconds(const timeval& t) {
  return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

int main(int argc, char** argv) {
  const char* input = nullptr;
  bool quiet = false;
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; i++) {
    if (std::strcmp(argv[i], "--stdin") == 0 && i + 1 < argc)
      input = argv[++i];
    else if (std::strcmp(argv[i], "--quiet") == 0)
      quiet = true;
    else
      i = argc;
  }
  if (i + 1 >= argc) {
    std::fprintf(stderr, "Usage: bench-timed-run [--stdin FILE] [--quiet] -- COMMAND [ARGS...]\n");
    return 2;
  }
  char** command = argv + i + 1;

  timespec start, end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t child = fork();
  if (child < 0) {
    std::perror("bench-timed-run: fork");
    return 1;
  }
  if (child == 0) {
    if (input) {
      int fd = open(input, O_RDONLY);
      if (fd < 0 || dup2(fd, 0) < 0) _exit(126);
      close(fd);
    }
    if (quiet) {
      int null = open("/dev/null", O_WRONLY);
      if (null < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) _exit(126);
      close(null);
    }
    execvp(command[0], command);
    _exit(127);
  }
  int status;
  rusage usage;
  if (wait4(child, &status, 0, &usage) != child) {
    std::perror("bench-timed-run: wait4");
    return 1;
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  double wall = double(end.tv_sec - start.tv_sec) + double(end.tv_nsec - start.tv_nsec) / 1e9;
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("%.4f %.4f %ld %d\n", wall, Seconds(usage.ru_utime) + Seconds(usage.ru_stime),
              usage.ru_maxrss, code);
  return 0;
}
