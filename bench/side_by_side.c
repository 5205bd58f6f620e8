/* Runs commands side by side: one run of each in turn, many rounds, and prints for each its
 * median wall time and mean CPU time (user + system) in milliseconds, one line per command.
 *
 *   side_by_side ROUNDS WARMUP COMMAND [ARG...] [-- COMMAND [ARG...]]...
 *
 * Taking turns run by run means that a slow moment of the machine falls on all commands
 * alike, which a tool that runs one command's series after the other cannot promise. Each
 * command starts as a web server starts a program (its output goes to /dev/null here) and is
 * timed from its start to its end. */
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

enum { kMaxCommands = 16 };

struct Command {
    char **argv;
    double *walls;
    double cpu_total;
};

static double Seconds(const struct timespec *t) {
    return (double)t->tv_sec + (double)t->tv_nsec * 1e-9;
}

static double CpuSeconds(const struct rusage *usage) {
    return (double)usage->ru_utime.tv_sec + (double)usage->ru_utime.tv_usec * 1e-6 + (double)usage->ru_stime.tv_sec +
           (double)usage->ru_stime.tv_usec * 1e-6;
}

/* One run: wall time in seconds, CPU time added to *cpu; exits on a failed start or a
 * program that does not end well, since its figures would mean nothing. */
static double RunOnce(char **argv, const posix_spawn_file_actions_t *actions, double *cpu) {
    struct timespec start, end;
    pid_t pid;
    int status;
    struct rusage usage;
    clock_gettime(CLOCK_MONOTONIC, &start);
    if (posix_spawn(&pid, argv[0], actions, NULL, argv, environ) != 0) {
        fprintf(stderr, "side_by_side: cannot start %s\n", argv[0]);
        exit(2);
    }
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "side_by_side: %s failed\n", argv[0]);
        exit(2);
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    *cpu += CpuSeconds(&usage);
    return Seconds(&end) - Seconds(&start);
}

static int CompareDoubles(const void *a, const void *b) {
    const double x = *(const double *)a, y = *(const double *)b;
    return (x > y) - (x < y);
}

int main(int argc, char **argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: side_by_side ROUNDS WARMUP COMMAND [ARG...] [-- COMMAND [ARG...]]...\n");
        return 2;
    }
    const int rounds = atoi(argv[1]);
    const int warmup = atoi(argv[2]);
    if (rounds < 1 || warmup < 0) {
        fprintf(stderr, "side_by_side: ROUNDS must be at least 1, WARMUP at least 0\n");
        return 2;
    }
    struct Command commands[kMaxCommands];
    int count = 0;
    for (int i = 3; i < argc; ++i) {
        if (count == kMaxCommands) {
            fprintf(stderr, "side_by_side: at most %d commands\n", kMaxCommands);
            return 2;
        }
        commands[count].argv = &argv[i];
        while (i < argc && strcmp(argv[i], "--") != 0) ++i;
        if (i < argc) argv[i] = NULL; /* ends this command's arguments */
        if (commands[count].argv[0] == NULL) {
            fprintf(stderr, "side_by_side: an empty command\n");
            return 2;
        }
        commands[count].walls = calloc((size_t)rounds, sizeof(double));
        if (commands[count].walls == NULL) return 2;
        commands[count].cpu_total = 0.0;
        ++count;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    double ignored = 0.0;
    for (int r = 0; r < warmup; ++r)
        for (int c = 0; c < count; ++c) RunOnce(commands[c].argv, &actions, &ignored);
    for (int r = 0; r < rounds; ++r)
        for (int c = 0; c < count; ++c)
            commands[c].walls[r] = RunOnce(commands[c].argv, &actions, &commands[c].cpu_total);

    for (int c = 0; c < count; ++c) {
        qsort(commands[c].walls, (size_t)rounds, sizeof(double), CompareDoubles);
        const double median = rounds % 2 == 1 ? commands[c].walls[rounds / 2]
                                              : (commands[c].walls[rounds / 2 - 1] + commands[c].walls[rounds / 2]) / 2;
        printf("%.6f %.6f\n", median * 1e3, commands[c].cpu_total / rounds * 1e3);
        free(commands[c].walls);
    }
    posix_spawn_file_actions_destroy(&actions);
    return 0;
}
