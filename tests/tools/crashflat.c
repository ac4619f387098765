/* Preloaded into a program under test, plays a driver that crashes in one
 * render state: the first glShadeModel(GL_FLAT) dies of a segmentation
 * fault signal raised in the calling thread. Every other call passes
 * through, so only states with flat shading crash. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <signal.h>
#include <stddef.h>

void glShadeModel(GLenum mode)
{
    static void (*next)(GLenum);
    if (mode == GL_FLAT)
        raise(SIGSEGV);
    if (next == NULL)
        next = (void (*)(GLenum))next_gl("glShadeModel");
    next(mode);
}
