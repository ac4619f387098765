/* Preloaded into a program under test, breaks point rasterisation the way
 * a driver could: every size handed to glPointSize is multiplied by
 * POINTSCALE (default 1.15) before it reaches the GL, so smooth points come
 * out that much wider than asked. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>
#include <stdlib.h>

void glPointSize(GLfloat size)
{
    static void (*next)(GLfloat);
    const char *text = getenv("POINTSCALE");
    if (next == NULL)
        next = (void (*)(GLfloat))next_gl("glPointSize");
    next(size * (text != NULL ? (GLfloat)atof(text) : 1.15f));
}
