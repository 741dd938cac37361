// Looks for byte strings in the memory of a running process, through /proc/PID/maps and /proc/PID/mem
// (which needs the right to trace the process: the superuser, since Vorlaxen's programs are not
// dumpable). For bench/memory-scan.sh.
//
//   memory_scan PID NAME=FILE...
//
// Each FILE holds one string to look for, under the label NAME. The process is stopped while every
// readable mapping is read whole, so that the snapshot is consistent, and then searched, including what
// the program has freed but not given back to the system. Prints one line per string found (label,
// address, offset in its mapping, the mapping's name) with the 32 bytes around it, and a count per label
// at the end. Exit status: 0 when no string was found, 1 when one was, 2 when the process could not be
// read.

#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <signal.h>
#include <unistd.h>

struct needle {
    const char* label;
    unsigned char* bytes;
    size_t length;
    unsigned long found;
};

// The bytes around a find, as hex and as text.
static void show_context(const unsigned char* copy, size_t have, size_t at) {
    const size_t from = at >= 16 ? at - 16 : 0;
    const size_t to = at + 16 < have ? at + 16 : have;
    printf("    ");
    for (size_t i = from; i < to; ++i)
        printf("%02x%s", copy[i], i + 1 == at ? "|" : " ");
    printf(" ");
    for (size_t i = from; i < to; ++i)
        putchar(copy[i] >= 32 && copy[i] < 127 ? copy[i] : '.');
    putchar('\n');
}

static unsigned char* read_whole(const char* path, size_t* length) {
    FILE* file = fopen(path, "rb");
    if (!file)
        return NULL;
    size_t room = 256, used = 0;
    unsigned char* bytes = malloc(room);
    size_t got;
    while (bytes && (got = fread(bytes + used, 1, room - used, file)) > 0) {
        used += got;
        if (used == room)
            bytes = realloc(bytes, room *= 2);
    }
    fclose(file);
    *length = used;
    return bytes;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s PID NAME=FILE...\n", argv[0]);
        return 2;
    }
    const int count = argc - 2;
    struct needle* needles = calloc((size_t)count, sizeof *needles);
    for (int i = 0; i < count; ++i) {
        char* spec = argv[i + 2];
        char* equals = strchr(spec, '=');
        if (!equals) {
            fprintf(stderr, "memory_scan: %s is not NAME=FILE\n", spec);
            return 2;
        }
        *equals = '\0';
        needles[i].label = spec;
        needles[i].bytes = read_whole(equals + 1, &needles[i].length);
        if (!needles[i].bytes || needles[i].length == 0) {
            fprintf(stderr, "memory_scan: cannot read %s, or it is empty\n", equals + 1);
            return 2;
        }
    }

    char path[64];
    snprintf(path, sizeof path, "/proc/%s/maps", argv[1]);
    FILE* maps = fopen(path, "r");
    snprintf(path, sizeof path, "/proc/%s/mem", argv[1]);
    const int mem = open(path, O_RDONLY);
    if (!maps || mem < 0) {
        fprintf(stderr, "memory_scan: cannot read the memory of process %s: %s\n", argv[1], strerror(errno));
        return 2;
    }
    struct region {
        uint64_t start;
        size_t have;
        unsigned char* copy;
        char name[256];
    };
    size_t room = 64, regions = 0;
    struct region* all = malloc(room * sizeof *all);
    const pid_t pid = (pid_t)atoi(argv[1]);
    kill(pid, SIGSTOP);
    char line[4096];
    while (all && fgets(line, sizeof line, maps)) {
        uint64_t start = 0, end = 0;
        char perms[8] = "";
        int name_at = 0;
        if (sscanf(line, "%" SCNx64 "-%" SCNx64 " %7s %*s %*s %*s %n", &start, &end, perms, &name_at) < 3)
            continue;
        if (perms[0] != 'r')
            continue;
        char* name = line + name_at;
        name[strcspn(name, "\n")] = '\0';
        if (strcmp(name, "[vvar]") == 0 || strcmp(name, "[vsyscall]") == 0)
            continue;
        const size_t size = (size_t)(end - start);
        unsigned char* copy = malloc(size);
        if (!copy)
            continue;
        // A mapping may hold pages that cannot be read (beyond a file's end): read what can be.
        size_t have = 0;
        while (have < size) {
            const ssize_t got = pread(mem, copy + have, size - have, (off_t)(start + have));
            if (got <= 0)
                break;
            have += (size_t)got;
        }
        if (regions == room)
            all = realloc(all, (room *= 2) * sizeof *all);
        if (!all)
            break;
        all[regions].start = start;
        all[regions].have = have;
        all[regions].copy = copy;
        snprintf(all[regions].name, sizeof all[regions].name, "%s", *name ? name : "[anonymous]");
        ++regions;
    }
    kill(pid, SIGCONT);
    if (!all) {
        fprintf(stderr, "memory_scan: out of memory\n");
        return 2;
    }
    uint64_t scanned = 0;
    for (size_t r = 0; r < regions; ++r) {
        const unsigned char* copy = all[r].copy;
        const size_t have = all[r].have;
        scanned += have;
        for (int i = 0; i < count; ++i) {
            const unsigned char* at = copy;
            size_t left = have;
            const unsigned char* hit;
            while ((hit = memmem(at, left, needles[i].bytes, needles[i].length)) != NULL) {
                ++needles[i].found;
                printf("%-20s found at %#" PRIx64 " (+%#zx in %s)\n",
                       needles[i].label,
                       all[r].start + (uint64_t)(hit - copy),
                       (size_t)(hit - copy),
                       all[r].name);
                show_context(copy, have, (size_t)(hit - copy));
                left -= (size_t)(hit - at) + 1;
                at = hit + 1;
            }
        }
        free(all[r].copy);
    }
    printf("scanned %zu mappings, %" PRIu64 " KiB\n", regions, scanned >> 10);
    int any = 0;
    for (int i = 0; i < count; ++i) {
        printf("%-20s %lu times\n", needles[i].label, needles[i].found);
        any |= needles[i].found > 0;
    }
    return any ? 1 : 0;
}
