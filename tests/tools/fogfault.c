/* Preloaded into a program under test, breaks fog just beyond what OpenGL
 * allows: fog FOGFAULT_DENSE (default 1.15) times as dense, the density
 * multiplied and the linear start and end divided by it; or, where
 * FOGFAULT_COLOUR is set, the fog colour's red, green and blue scaled by it
 * (0.9: a tenth too dim) and the density left alone. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>
#include <stdlib.h>

void glFogf(GLenum pname, GLfloat param)
{
    static void (*next)(GLenum, GLfloat);
    const char *text = getenv("FOGFAULT_DENSE");
    double dense = text ? atof(text) : getenv("FOGFAULT_COLOUR") ? 1.0 : 1.15;
    if (next == NULL)
        next = (void (*)(GLenum, GLfloat))next_gl("glFogf");
    if (pname == GL_FOG_DENSITY)
        param = (GLfloat)(param * dense);
    else if (pname == GL_FOG_START || pname == GL_FOG_END)
        param = (GLfloat)(param / dense);
    next(pname, param);
}

void glFogfv(GLenum pname, const GLfloat *params)
{
    static void (*next)(GLenum, const GLfloat *);
    const char *text = getenv("FOGFAULT_COLOUR");
    GLfloat colour[4] = {params[0], params[1], params[2], params[3]};
    if (next == NULL)
        next = (void (*)(GLenum, const GLfloat *))next_gl("glFogfv");
    for (int i = 0; i < 3 && pname == GL_FOG_COLOR && text != NULL; i++)
        colour[i] = (GLfloat)(params[i] * atof(text));
    next(pname, pname == GL_FOG_COLOR ? colour : params);
}
