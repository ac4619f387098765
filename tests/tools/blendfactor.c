/* Preloaded into a program under test, breaks blending the way a driver
 * could: a destination factor of GL_ONE_MINUS_SRC_ALPHA is set as
 * GL_ONE_MINUS_DST_ALPHA, the source and destination alphas mixed up. The
 * window has no alpha channel, so what lay beneath drops out of every blend.
 * Unblended drawing and everything else pass through unchanged. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>

void glBlendFunc(GLenum sfactor, GLenum dfactor)
{
    static void (*next)(GLenum, GLenum);
    if (next == NULL)
        next = (void (*)(GLenum, GLenum))next_gl("glBlendFunc");
    next(sfactor, dfactor == GL_ONE_MINUS_SRC_ALPHA ? GL_ONE_MINUS_DST_ALPHA : dfactor);
}
