/* Preloaded into a program under test, breaks texture wrapping the way a
 * driver could: every texture is sampled as if its wrap mode were
 * GL_CLAMP_TO_EDGE where GL_REPEAT (the default) is asked for, so filtering
 * at the edges of the texture repeats its border instead of blending in the
 * opposite one. The programs set their filters on every texture they make;
 * the wrap modes are set there too. Everything else passes through. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

void glTexParameterf(GLenum target, GLenum pname, GLfloat param)
{
    static void (*next)(GLenum, GLenum, GLfloat);
    if (next == NULL)
        next = (void (*)(GLenum, GLenum, GLfloat))next_gl("glTexParameterf");
    next(target, pname, param);
    next(target, GL_TEXTURE_WRAP_S, (GLfloat)GL_CLAMP_TO_EDGE);
    next(target, GL_TEXTURE_WRAP_T, (GLfloat)GL_CLAMP_TO_EDGE);
}
