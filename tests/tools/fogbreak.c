/* Preloaded into a program under test, breaks one render state on purpose
 * from outside: every fog colour handed to glFogfv becomes magenta before it
 * reaches the GL. Everything else passes through unchanged, so only pictures
 * that show fog can change. The renderer report's own test uses it to show
 * that its verdicts fail where, and only where, the picture is wrong. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>

static const GLfloat BROKEN[4] = {1.0f, 0.0f, 1.0f, 1.0f};

void glFogfv(GLenum pname, const GLfloat *params)
{
    static void (*next)(GLenum, const GLfloat *);
    if (next == NULL)
        next = (void (*)(GLenum, const GLfloat *))next_gl("glFogfv");
    next(pname, pname == GL_FOG_COLOR ? BROKEN : params);
}
