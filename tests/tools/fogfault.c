/* Preloaded into a program under test, breaks fog just beyond what OpenGL
 * allows: FOGFAULT_DENSE (default 1.15) makes the fog that many times as
 * dense, the density multiplied and the linear fog's start and end divided
 * by it, so every fog mode fogs as if each distance were that much longer;
 * FOGFAULT_COLOUR scales the fog colour's red, green and blue (0.9: a tenth
 * too dim) and leaves the density alone. Everything else passes through, so
 * only pictures that show fog can change. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>
#include <stdlib.h>

static double factor(const char *name, double otherwise)
{
    const char *text = getenv(name);
    return text != NULL ? atof(text) : otherwise;
}

static double dense(void)
{
    return factor("FOGFAULT_DENSE", getenv("FOGFAULT_COLOUR") != NULL ? 1.0 : 1.15);
}

void glFogf(GLenum pname, GLfloat param)
{
    static void (*next)(GLenum, GLfloat);
    if (next == NULL)
        next = (void (*)(GLenum, GLfloat))next_gl("glFogf");
    if (pname == GL_FOG_DENSITY)
        param = (GLfloat)(param * dense());
    else if (pname == GL_FOG_START || pname == GL_FOG_END)
        param = (GLfloat)(param / dense());
    next(pname, param);
}

void glFogfv(GLenum pname, const GLfloat *params)
{
    static void (*next)(GLenum, const GLfloat *);
    GLfloat colour[4];
    if (next == NULL)
        next = (void (*)(GLenum, const GLfloat *))next_gl("glFogfv");
    if (pname == GL_FOG_COLOR) {
        double scale = factor("FOGFAULT_COLOUR", 1.0);
        for (int i = 0; i < 3; i++)
            colour[i] = (GLfloat)(params[i] * scale);
        colour[3] = params[3];
        params = colour;
    }
    next(pname, params);
}
