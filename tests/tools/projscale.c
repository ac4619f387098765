/* Preloaded into a program under test, breaks the perspective projection
 * the way a driver's transform could: every glFrustum is preceded by a
 * scale of PROJSCALE (default 1.01) in clip x and y, so the picture of a
 * perspective view is that much too large about the window's centre.
 * Pictures drawn without glFrustum pass through unchanged. */
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
