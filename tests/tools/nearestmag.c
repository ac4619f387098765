/* Preloaded into a program under test, breaks texture filtering the way a
 * driver could: a magnification filter of GL_LINEAR is set as GL_NEAREST, so
 * every magnified texture shows its texels as blocks. Minified textures and
 * everything else pass through unchanged. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>

void glTexParameterf(GLenum target, GLenum pname, GLfloat param)
{
    static void (*next)(GLenum, GLenum, GLfloat);
    if (next == NULL)
        next = (void (*)(GLenum, GLenum, GLfloat))next_gl("glTexParameterf");
    if (pname == GL_TEXTURE_MAG_FILTER && param == (GLfloat)GL_LINEAR)
        param = (GLfloat)GL_NEAREST;
    next(target, pname, param);
}
