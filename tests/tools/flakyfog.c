/* Preloaded into a program under test, plays a driver that fails now and
 * then: every other process that turns fog on gets a magenta fog colour
 * from then on, like fogbreak. The processes are counted in the file named
 * by FLAKYFOG_COUNTER, a number that the first glEnable(GL_FOG) of each
 * process increments under a lock; the first, third, fifth... are broken.
 * A process that never turns fog on is not counted, so only fog states
 * alternate; without FLAKYFOG_COUNTER every call passes through. It works
 * in the programs and in apitrace's replayer alike (see nextgl.h). */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

static const GLfloat BROKEN[4] = {1.0f, 0.0f, 1.0f, 1.0f};
static int counted, broken;

/* This process's number among those that turned fog on, from 1; 0 when
 * there is no counter file. */
static long count_process(void)
{
    const char *name = getenv("FLAKYFOG_COUNTER");
    char text[32] = {0};
    long count = 0;
    int fd;
    if (name == NULL || (fd = open(name, O_RDWR | O_CREAT, 0644)) < 0)
        return 0;
    if (flock(fd, LOCK_EX) == 0) {
        ssize_t got = read(fd, text, sizeof text - 1);
        count = (got > 0 ? strtol(text, NULL, 10) : 0) + 1;
        int length = snprintf(text, sizeof text, "%ld\n", count);
        if (lseek(fd, 0, SEEK_SET) != 0 || ftruncate(fd, 0) != 0
            || write(fd, text, (size_t)length) != length)
            count = 0;
    }
    close(fd);
    return count;
}

void glEnable(GLenum cap)
{
    static void (*next)(GLenum);
    if (cap == GL_FOG && !counted) {
        counted = 1;
        broken = count_process() % 2 == 1;
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
