/* libgcrypt's IDEA, DES and Triple DES in CBC mode over a 16 MiB buffer, encrypting and decrypting in
 * place: the peer figures that bench/compare.sh sets beside ours. Each figure is the best of several
 * runs, in MiB/s (2^20 bytes per second) of processor time, as cipher_bench counts ours, so that other
 * work on a shared machine favours neither side; one line each:
 *
 *     libgcrypt <IDEA|DES|3DES> <encrypt|decrypt> <MiB/s>
 *
 * A cipher this libgcrypt lacks gives "unavailable" instead of a figure. Lines starting with '#' are
 * comments. Usage: gcrypt_peer [--runs N]   (default 5)
 */

#include <gcrypt.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#define BUFFER_SIZE ((size_t)16 << 20)

struct peer_cipher {
    const char *name;
    int algorithm;
    size_t key_length;
};

/* The processor time of this thread. */
static double now_seconds(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* Best throughput of `runs` passes over the buffer in one direction, in MiB/s; negative on error. */
static double measure(const struct peer_cipher *cipher, int decrypt, unsigned char *buffer, int runs)
{
    /* Bytes chosen to avoid DES weak and semi-weak keys in every 8-byte part. */
    static const unsigned char key[24] = {
        0x31, 0x38, 0x3f, 0x46, 0x4d, 0x54, 0x5b, 0x62, 0x69, 0x70, 0x77, 0x7e,
        0x85, 0x8c, 0x93, 0x9a, 0xa1, 0xa8, 0xaf, 0xb6, 0xbd, 0xc4, 0xcb, 0xd2,
    };
    static const unsigned char iv[8] = {0xc3, 0x5a, 0x96, 0x0f, 0x69, 0xa5, 0x3c, 0xf0};
    gcry_cipher_hd_t handle;
    gcry_error_t error = gcry_cipher_open(&handle, cipher->algorithm, GCRY_CIPHER_MODE_CBC, 0);
    if (error) {
        fprintf(stderr, "gcrypt_peer: %s: %s\n", cipher->name, gcry_strerror(error));
        return -1.0;
    }
    error = gcry_cipher_setkey(handle, key, cipher->key_length);
    if (error) {
        fprintf(stderr, "gcrypt_peer: %s key: %s\n", cipher->name, gcry_strerror(error));
        gcry_cipher_close(handle);
        return -1.0;
    }

    double best = 0.0;
    for (int run = 0; run < runs; ++run) {
        error = gcry_cipher_setiv(handle, iv, sizeof iv);
        if (error)
            break;
        const double start = now_seconds();
        error = decrypt ? gcry_cipher_decrypt(handle, buffer, BUFFER_SIZE, NULL, 0)
                        : gcry_cipher_encrypt(handle, buffer, BUFFER_SIZE, NULL, 0);
        const double elapsed = now_seconds() - start;
        if (error)
            break;
        const double rate = (double)BUFFER_SIZE / (1024.0 * 1024.0) / elapsed;
        if (rate > best)
            best = rate;
    }
    gcry_cipher_close(handle);
    if (error) {
        fprintf(stderr, "gcrypt_peer: %s: %s\n", cipher->name, gcry_strerror(error));
        return -1.0;
    }
    return best;
}

int main(int argc, char **argv)
{
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = atoi(argv[++i]);
        } else {
            fprintf(stderr, "usage: %s [--runs N]\n", argv[0]);
            return 2;
        }
    }
    if (runs < 1) {
        fprintf(stderr, "gcrypt_peer: --runs takes a positive count\n");
        return 2;
    }

    if (!gcry_check_version(GCRYPT_VERSION)) {
        fprintf(stderr, "gcrypt_peer: libgcrypt is older than the headers (%s)\n", GCRYPT_VERSION);
        return 1;
    }
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);

    unsigned char *buffer = malloc(BUFFER_SIZE);
    if (!buffer) {
        fprintf(stderr, "gcrypt_peer: out of memory\n");
        return 1;
    }
    for (size_t i = 0; i < BUFFER_SIZE; ++i)
        buffer[i] = (unsigned char)(i * 131u + 7u);

    static const struct peer_cipher ciphers[] = {
        {"IDEA", GCRY_CIPHER_IDEA, 16},
        {"DES", GCRY_CIPHER_DES, 8},
        {"3DES", GCRY_CIPHER_3DES, 24},
    };
    static const char *const directions[] = {"encrypt", "decrypt"};

    printf("# libgcrypt %s, CBC, %zu MiB buffer in place, best of %d runs, MiB/s of processor time\n",
           gcry_check_version(NULL), BUFFER_SIZE >> 20, runs);
    int failures = 0;
    for (size_t c = 0; c < sizeof ciphers / sizeof ciphers[0]; ++c) {
        const int available = gcry_cipher_test_algo(ciphers[c].algorithm) == 0;
        for (int d = 0; d < 2; ++d) {
            if (!available) {
                printf("libgcrypt %s %s unavailable\n", ciphers[c].name, directions[d]);
                continue;
            }
            const double rate = measure(&ciphers[c], d, buffer, runs);
            if (rate < 0.0) {
                printf("libgcrypt %s %s unavailable\n", ciphers[c].name, directions[d]);
                ++failures;
            } else {
                printf("libgcrypt %s %s %.2f\n", ciphers[c].name, directions[d], rate);
            }
            fflush(stdout);
        }
    }
    free(buffer);
    return failures ? 1 : 0;
}
