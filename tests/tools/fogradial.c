/* Preloaded into a program under test, a legal variant rather than a fault:
 * wherever the program sets fog parameters, the fog distance becomes the
 * radial distance from the eye (GL_NV_fog_distance's GL_EYE_RADIAL_NV)
 * instead of the renderer's default, the eye-plane depth. OpenGL 1.1 defines
 * fog by the eye-coordinate distance from the eye to the fragment and only
 * permits |ze| as an approximation (section 3.9), so every state must still
 * pass. On a GL without the extension the call sets an error and changes
 * nothing. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>

#define FOG_DISTANCE_MODE_NV 0x855A
#define EYE_RADIAL_NV 0x855B

void glFogfv(GLenum pname, const GLfloat *params)
{
    static void (*next)(GLenum, const GLfloat *);
    static void (*fogi)(GLenum, GLint);
    if (next == NULL) {
        next = (void (*)(GLenum, const GLfloat *))next_gl("glFogfv");
        fogi = (void (*)(GLenum, GLint))next_gl("glFogi");
    }
    next(pname, params);
    if (fogi != NULL)
        fogi(FOG_DISTANCE_MODE_NV, EYE_RADIAL_NV);
}
