/* Preloaded into a program under test, a legal variant rather than a fault:
 * every GL_PERSPECTIVE_CORRECTION_HINT becomes GL_FASTEST, which lets a
 * renderer interpolate colours and texture coordinates linearly in window
 * space where w varies (OpenGL 1.1 sections 3.4.1 and 5.6). Every state must
 * still pass, whichever interpolation the renderer then picks. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>

void glHint(GLenum target, GLenum mode)
{
    static void (*next)(GLenum, GLenum);
    if (next == NULL)
        next = (void (*)(GLenum, GLenum))next_gl("glHint");
    next(target, target == GL_PERSPECTIVE_CORRECTION_HINT ? GL_FASTEST : mode);
}
