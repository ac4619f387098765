/* Preloaded into a program under test, a legal variant: every
 * GL_PERSPECTIVE_CORRECTION_HINT becomes GL_FASTEST (OpenGL 1.1 section 5.6). */
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
