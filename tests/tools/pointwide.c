/* Preloaded into a program under test: every point POINTWIDE times as wide
 * as asked (default 1.15). OpenGL 1.1 lets a smooth point light every pixel
 * square its circle touches, so a point wider by less than about a pixel
 * stays within what a right renderer may draw; a wider one does not. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>
#include <stdlib.h>

void glPointSize(GLfloat size)
{
    static void (*next)(GLfloat);
    const char *text = getenv("POINTWIDE");
    GLfloat scale = text != NULL ? (GLfloat)atof(text) : 1.15f;
    if (next == NULL)
        next = (void (*)(GLfloat))next_gl("glPointSize");
    next(size * scale);
}
