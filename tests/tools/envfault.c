/* Preloaded into a program under test, breaks one texture environment the
 * way a driver's combiner could: the mode ENVFAULT names (blend, the
 * default; modulate, decal or replace) runs as GL_MODULATE (GL_REPLACE for
 * modulate itself), as if that mode's combiner stage were the wrong one.
 * Every other mode and untextured drawing pass through unchanged. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

static GLint broken(void)
{
    const char *name = getenv("ENVFAULT");
    if (name == NULL || strcmp(name, "blend") == 0)
        return GL_BLEND;
    if (strcmp(name, "modulate") == 0)
        return GL_MODULATE;
    if (strcmp(name, "decal") == 0)
        return GL_DECAL;
    return GL_REPLACE;
}

void glTexEnvi(GLenum target, GLenum pname, GLint param)
{
    static void (*next)(GLenum, GLenum, GLint);
    if (next == NULL)
        next = (void (*)(GLenum, GLenum, GLint))next_gl("glTexEnvi");
    if (target == GL_TEXTURE_ENV && pname == GL_TEXTURE_ENV_MODE && param == broken())
        param = param == GL_MODULATE ? GL_REPLACE : GL_MODULATE;
    next(target, pname, param);
}
