/* What the fog faults that break some processes and not others share: a
 * process that turns fog on is counted, under a lock, in the file an
 * environment variable names, and the including file's broken_process(),
 * asked once at the process's first glEnable(GL_FOG), tells whether its fog
 * colour turns magenta from then on. They work in the programs and in
 * apitrace's replayer alike (nextgl.h). */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

static const GLfloat BROKEN[4] = {1.0f, 0.0f, 1.0f, 1.0f};
static int asked, broken;

static int broken_process(void);

/* This process's number among those that turned fog on, from 1, counted in
 * the file the variable names; 0 where it names none that can be opened. */
static unsigned long long process_count(const char *variable)
{
    const char *name = getenv(variable);
    char text[32] = {0};
    unsigned long long count = 0;
    int fd;
    if (name == NULL || (fd = open(name, O_RDWR | O_CREAT, 0644)) < 0)
        return 0;
    if (flock(fd, LOCK_EX) == 0) {
        ssize_t got = read(fd, text, sizeof text - 1);
        count = (got > 0 ? strtoull(text, NULL, 10) : 0) + 1;
        int length = snprintf(text, sizeof text, "%llu\n", count);
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
    if (cap == GL_FOG && !asked) {
        asked = 1;
        broken = broken_process();
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
