/* Preloaded into a program under test, plays a driver that fails at random:
 * a process that turns fog on gets a magenta fog colour from then on with
 * the chance DICEFOG_RATE (0.5 where unset). The draw is a hash of
 * DICEFOG_SEED and the process's number among those that turned fog on,
 * counted in the file DICEFOG_COUNTER under a lock as flakyfog counts, so
 * a seed and a fresh counter give the same sequence of broken and sound
 * processes every time. Without DICEFOG_SEED every call passes through.
 * It works in the programs and in apitrace's replayer alike (nextgl.h). */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

static const GLfloat BROKEN[4] = {1.0f, 0.0f, 1.0f, 1.0f};
static int drawn, broken;

/* This process's number among those that turned fog on, from 1; its pid
 * where there is no counter file. */
static uint64_t process_number(void)
{
    const char *name = getenv("DICEFOG_COUNTER");
    char text[32] = {0};
    uint64_t count = (uint64_t)getpid();
    int fd;
    if (name == NULL || (fd = open(name, O_RDWR | O_CREAT, 0644)) < 0)
        return count;
    if (flock(fd, LOCK_EX) == 0) {
        ssize_t got = read(fd, text, sizeof text - 1);
        count = (uint64_t)(got > 0 ? strtoull(text, NULL, 10) : 0) + 1;
        int length = snprintf(text, sizeof text, "%llu\n", (unsigned long long)count);
        if (lseek(fd, 0, SEEK_SET) != 0 || ftruncate(fd, 0) != 0
            || write(fd, text, (size_t)length) != length)
            count = (uint64_t)getpid();
    }
    close(fd);
    return count;
}

/* splitmix64's output function: consecutive inputs give unrelated bits. */
static uint64_t mixed(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

static int draw(void)
{
    const char *seed = getenv("DICEFOG_SEED"), *rate = getenv("DICEFOG_RATE");
    if (seed == NULL)
        return 0;
    double chance = rate ? strtod(rate, NULL) : 0.5;
    uint64_t x = mixed(mixed(strtoull(seed, NULL, 10)) ^ process_number());
    return (double)(x >> 11) / 9007199254740992.0 < chance;
}

void glEnable(GLenum cap)
{
    static void (*next)(GLenum);
    if (cap == GL_FOG && !drawn) {
        drawn = 1;
        broken = draw();
    }
    if (next == NULL)
        next = (void (*)(GLenum))next_gl("glEnable");
    next(cap);
}

void glFogfv(GLenum pname, const GLfloat *params)
{
    static void (*next)(GLenum, const GLfloat *);
    if (next == NULL)
        next = (void (*)(GLenum, const GLfloat *))next_gl("glFogfv");
    next(pname, broken && pname == GL_FOG_COLOR ? BROKEN : params);
}
