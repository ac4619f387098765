/* Preloaded into a program under test, records the order of its shutdown
 * from outside: every pixel buffer handed to glTexImage2D is remembered by
 * upload order, and the log file named by SHUTDOWNLOG_FILE receives a line
 * "glutDestroyWindow" when the program asks GLUT to destroy its window and
 * "free N" when the buffer of the N-th upload is freed. (freeglut itself
 * puts the window's destruction off until the process exits.) */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

#define MAXUPLOADS 16

static const void *uploads[MAXUPLOADS];
static int uploadCount;

static void logline(const char *fmt, int n)
{
    static FILE *log;
    if (log == NULL) {
        const char *name = getenv("SHUTDOWNLOG_FILE");
        if (name == NULL || (log = fopen(name, "w")) == NULL)
            return;
        setvbuf(log, NULL, _IONBF, 0);
    }
    fprintf(log, fmt, n);
}

void glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width,
                  GLsizei height, GLint border, GLenum format, GLenum type,
                  const void *pixels)
{
    static void (*next)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                        const void *);
    if (next == NULL)
        next = (void (*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                         const void *))dlsym(RTLD_NEXT, "glTexImage2D");
    if (uploadCount < MAXUPLOADS)
        uploads[uploadCount++] = pixels;
    next(target, level, internalformat, width, height, border, format, type, pixels);
}

void glutDestroyWindow(int window)
{
    static void (*next)(int);
    if (next == NULL)
        next = (void (*)(int))dlsym(RTLD_NEXT, "glutDestroyWindow");
    logline("glutDestroyWindow\n", 0);
    next(window);
}

static void (*nextFree)(void *);

/* Resolved once the loader and any sanitizer runtime are ready; a free that
 * comes earlier is dropped (a few bytes leak) rather than recursing into
 * dlsym, which frees memory itself. */
__attribute__((constructor)) static void ResolveFree(void)
{
    nextFree = (void (*)(void *))dlsym(RTLD_NEXT, "free");
}

void free(void *p)
{
    if (nextFree == NULL)
        return;
    for (int i = 0; p != NULL && i < uploadCount; i++)
        if (uploads[i] == p)
            logline("free %d\n", i);
    nextFree(p);
}
