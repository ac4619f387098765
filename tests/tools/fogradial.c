/* Preloaded into a program under test, a legal variant: fog by the radial
 * distance from the eye (GL_NV_fog_distance's GL_EYE_RADIAL_NV), which
 * OpenGL 1.1 defines fog by (section 3.9), instead of Mesa's |ze|. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>

void glFogfv(GLenum pname, const GLfloat *params)
{
    static void (*next)(GLenum, const GLfloat *);
    static void (*fogi)(GLenum, GLint);
    if (next == NULL) {
        next = (void (*)(GLenum, const GLfloat *))next_gl("glFogfv");
        fogi = (void (*)(GLenum, GLint))next_gl("glFogi");
    }
    next(pname, params);
    fogi(0x855A, 0x855B);       /* GL_FOG_DISTANCE_MODE_NV, GL_EYE_RADIAL_NV */
}
