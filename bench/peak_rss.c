/* Runs a command and reports its peak resident memory, for machines without GNU time.
 *
 *     peak_rss COMMAND [ARG...]
 *
 * Prints the peak resident set size of the command in KiB as the last line on standard error (as
 * `/usr/bin/time -f %M` does) and exits with the command's own status, or 128 + signal.
 */

#define _GNU_SOURCE

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s COMMAND [ARG...]\n", argv[0]);
        return 2;
    }
    const pid_t child = fork();
    if (child < 0) {
        fprintf(stderr, "peak_rss: fork: %s\n", strerror(errno));
        return 127;
    }
    if (child == 0) {
        execvp(argv[1], argv + 1);
        fprintf(stderr, "peak_rss: %s: %s\n", argv[1], strerror(errno));
        _exit(127);
    }

    int status = 0;
    struct rusage usage;
    pid_t waited;
    do
        waited = wait4(child, &status, 0, &usage);
    while (waited < 0 && errno == EINTR);
    if (waited < 0) {
        fprintf(stderr, "peak_rss: wait4: %s\n", strerror(errno));
        return 127;
    }
    fprintf(stderr, "%ld\n", usage.ru_maxrss); /* Linux reports KiB */
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 127;
}
