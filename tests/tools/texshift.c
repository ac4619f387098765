/* Preloaded into a program under test, breaks texture addressing the way a
 * driver could: every indexed draw samples its texture half a texel off on
 * both axes, through the texture matrix, as if the texel centres were
 * misplaced. Untextured drawing and everything else pass through unchanged. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dlfcn.h>
#include <stddef.h>

void glDrawElements(GLenum mode, GLsizei count, GLenum type, const void *indices)
{
    static void (*next)(GLenum, GLsizei, GLenum, const void *);
    GLint width = 0, height = 0, matrixMode = GL_MODELVIEW;
    if (next == NULL)
        next = (void (*)(GLenum, GLsizei, GLenum, const void *))dlsym(RTLD_NEXT,
                                                                      "glDrawElements");
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    if (width > 0 && height > 0)
        glTranslatef(0.5f / (GLfloat)width, 0.5f / (GLfloat)height, 0.0f);
    glMatrixMode((GLenum)matrixMode);
    next(mode, count, type, indices);
}
