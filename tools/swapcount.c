/* Preloaded into a program under test, counts its buffer swaps from outside:
 * after every glXSwapBuffers the running total is written, as decimal text,
 * over the file named by SWAPCOUNT_FILE. The program itself is unchanged. */
#define _GNU_SOURCE
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static unsigned long swaps;

void glXSwapBuffers(Display *dpy, GLXDrawable drawable)
{
    static void (*next)(Display *, GLXDrawable);
    static int fd = -2;
    if (next == NULL)
        next = (void (*)(Display *, GLXDrawable))dlsym(RTLD_NEXT, "glXSwapBuffers");
    next(dpy, drawable);
    if (fd == -2) {
        const char *name = getenv("SWAPCOUNT_FILE");
        fd = name ? open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
    }
    if (fd >= 0) {
        char text[32];
        int len = snprintf(text, sizeof text, "%lu\n", ++swaps);
        /* One pwrite of a line that only grows: a reader never sees a
         * shorter, half-written number. */
        if (pwrite(fd, text, (size_t)len, 0) != len)
            fd = -1;
    }
}
