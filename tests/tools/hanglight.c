/* Preloaded into a program under test, plays a driver that hangs in one
 * render state: glEnable(GL_LIGHTING) never returns. Every other call
 * passes through, so only states with lighting on stop drawing. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>
#include <unistd.h>

void glEnable(GLenum cap)
{
    static void (*next)(GLenum);
    while (cap == GL_LIGHTING)
        pause();
    if (next == NULL)
        next = (void (*)(GLenum))next_gl("glEnable");
    next(cap);
}
