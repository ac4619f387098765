/* Preloaded into a program under test, breaks flat shading the way a driver
 * could: each flat-shaded triangle takes its colour from its first vertex
 * instead of its last, as if the provoking-vertex convention were flipped.
 * Smooth shading and everything else pass through unchanged. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>

#ifndef GL_FIRST_VERTEX_CONVENTION
#define GL_FIRST_VERTEX_CONVENTION 0x8E4D
#endif

void glShadeModel(GLenum mode)
{
    static void (*next)(GLenum);
    static void (*provoking)(GLenum);
    if (next == NULL) {
        next = (void (*)(GLenum))next_gl("glShadeModel");
        provoking = (void (*)(GLenum))next_gl("glProvokingVertex");
    }
    next(mode);
    if (provoking != NULL)
        provoking(GL_FIRST_VERTEX_CONVENTION);
}
