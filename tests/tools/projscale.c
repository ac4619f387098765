/* Preloaded into a program under test: every glFrustum follows a scale of
 * PROJSCALE (default 1.01) in clip x and y, a perspective picture too large. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>
#include <stdlib.h>

void glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top,
               GLdouble zNear, GLdouble zFar)
{
    static void (*next)(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble);
    static void (*scalef)(GLfloat, GLfloat, GLfloat);
    const char *text = getenv("PROJSCALE");
    GLfloat scale = text != NULL ? (GLfloat)atof(text) : 1.01f;
    if (next == NULL) {
        next = (void (*)(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble))
            next_gl("glFrustum");
        scalef = (void (*)(GLfloat, GLfloat, GLfloat))next_gl("glScalef");
    }
    scalef(scale, scale, 1.0f);
    next(left, right, bottom, top, zNear, zFar);
}
