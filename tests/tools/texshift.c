/* Preloaded into a program under test, breaks texture addressing the way a
 * driver could: every indexed draw samples its texture half a texel off on
 * both axes, through the texture matrix, as if the texel centres were
 * misplaced; TEXSHIFT_TEXELS sets another share of a texel. Untextured
 * drawing and everything else pass through unchanged.
 * Every GL function it calls is looked up as the one it passes on to, so
 * that it works in apitrace's replayer too (see nextgl.h). */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>
#include <stdlib.h>

static struct {
    void (*drawElements)(GLenum, GLsizei, GLenum, const void *);
    void (*getTexLevelParameteriv)(GLenum, GLint, GLenum, GLint *);
    void (*getIntegerv)(GLenum, GLint *);
    void (*matrixMode)(GLenum);
    void (*loadIdentity)(void);
    void (*translatef)(GLfloat, GLfloat, GLfloat);
} gl;

static void look_up(void)
{
    gl.drawElements = (void (*)(GLenum, GLsizei, GLenum, const void *))next_gl("glDrawElements");
    gl.getTexLevelParameteriv =
        (void (*)(GLenum, GLint, GLenum, GLint *))next_gl("glGetTexLevelParameteriv");
    gl.getIntegerv = (void (*)(GLenum, GLint *))next_gl("glGetIntegerv");
    gl.matrixMode = (void (*)(GLenum))next_gl("glMatrixMode");
    gl.loadIdentity = (void (*)(void))next_gl("glLoadIdentity");
    gl.translatef = (void (*)(GLfloat, GLfloat, GLfloat))next_gl("glTranslatef");
}

void glDrawElements(GLenum mode, GLsizei count, GLenum type, const void *indices)
{
    GLint width = 0, height = 0, matrixMode = GL_MODELVIEW;
    const char *texels = getenv("TEXSHIFT_TEXELS");
    GLfloat shift = texels != NULL ? (GLfloat)atof(texels) : 0.5f;
    if (gl.drawElements == NULL)
        look_up();
    gl.getTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    gl.getTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    gl.getIntegerv(GL_MATRIX_MODE, &matrixMode);
    gl.matrixMode(GL_TEXTURE);
    gl.loadIdentity();
    if (width > 0 && height > 0)
        gl.translatef(shift / (GLfloat)width, shift / (GLfloat)height, 0.0f);
    gl.matrixMode((GLenum)matrixMode);
    gl.drawElements(mode, count, type, indices);
}
