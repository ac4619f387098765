/* Preloaded into a program under test, a legal variant: texture
 * coordinates interpolated linearly in window space, as
 * GL_PERSPECTIVE_CORRECTION_HINT lets a renderer do (OpenGL 1.1 section
 * 5.6), the colours still perspective-correct. Each vertex's (s, t) goes
 * to the renderer as (s w, t w, 0, w), w its clip w: interpolated
 * perspective-correctly and divided by q, that gives s and t interpolated
 * linearly in window space. Only glDrawElements of GL_UNSIGNED_INT indices
 * into float arrays, as the programs draw, is changed. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>
#include <stdlib.h>

static void (*draw_elements)(GLenum, GLsizei, GLenum, const GLvoid *);
static GLboolean (*is_enabled)(GLenum);
static void (*get_integerv)(GLenum, GLint *);
static void (*get_floatv)(GLenum, GLfloat *);
static void (*get_pointerv)(GLenum, GLvoid **);
static void (*tex_coord_pointer)(GLint, GLenum, GLsizei, const GLvoid *);

static void look_up(void)
{
    draw_elements = (void (*)(GLenum, GLsizei, GLenum, const GLvoid *))next_gl("glDrawElements");
    is_enabled = (GLboolean (*)(GLenum))next_gl("glIsEnabled");
    get_integerv = (void (*)(GLenum, GLint *))next_gl("glGetIntegerv");
    get_floatv = (void (*)(GLenum, GLfloat *))next_gl("glGetFloatv");
    get_pointerv = (void (*)(GLenum, GLvoid **))next_gl("glGetPointerv");
    tex_coord_pointer = (void (*)(GLint, GLenum, GLsizei, const GLvoid *))
        next_gl("glTexCoordPointer");
}

/* A float array's element n as (x, y, z, w), missing components 0 and w 1. */
static void element(const GLvoid *base, GLint size, GLsizei stride, GLuint n, GLfloat out[4])
{
    size_t step = stride ? (size_t)stride : (size_t)size * sizeof(GLfloat);
    const GLfloat *p = (const GLfloat *)((const char *)base + n * step);
    out[0] = out[1] = out[2] = 0.0f;
    out[3] = 1.0f;
    for (GLint k = 0; k < size; k++)
        out[k] = p[k];
}

/* Clip w of an object position: the projection's last row times the
 * modelview matrix times the position (both column-major). */
static GLfloat clip_w(const GLfloat mv[16], const GLfloat pr[16], const GLfloat v[4])
{
    GLfloat w = 0.0f;
    for (int r = 0; r < 4; r++) {
        GLfloat eye = 0.0f;
        for (int c = 0; c < 4; c++)
            eye += mv[c * 4 + r] * v[c];
        w += pr[r * 4 + 3] * eye;
    }
    return w;
}

void glDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid *indices)
{
    if (draw_elements == NULL)
        look_up();
    GLint vsize, vtype, vstride, tsize, ttype, tstride;
    GLvoid *vertices, *coords;
    GLfloat mv[16], pr[16];
    if (type != GL_UNSIGNED_INT || count <= 0 || !is_enabled(GL_VERTEX_ARRAY) ||
        !is_enabled(GL_TEXTURE_COORD_ARRAY)) {
        draw_elements(mode, count, type, indices);
        return;
    }
    get_integerv(GL_VERTEX_ARRAY_SIZE, &vsize);
    get_integerv(GL_VERTEX_ARRAY_TYPE, &vtype);
    get_integerv(GL_VERTEX_ARRAY_STRIDE, &vstride);
    get_integerv(GL_TEXTURE_COORD_ARRAY_SIZE, &tsize);
    get_integerv(GL_TEXTURE_COORD_ARRAY_TYPE, &ttype);
    get_integerv(GL_TEXTURE_COORD_ARRAY_STRIDE, &tstride);
    get_pointerv(GL_VERTEX_ARRAY_POINTER, &vertices);
    get_pointerv(GL_TEXTURE_COORD_ARRAY_POINTER, &coords);
    if (vtype != GL_FLOAT || ttype != GL_FLOAT || tsize > 2) {
        draw_elements(mode, count, type, indices);
        return;
    }
    get_floatv(GL_MODELVIEW_MATRIX, mv);
    get_floatv(GL_PROJECTION_MATRIX, pr);
    const GLuint *index = (const GLuint *)indices;
    GLuint last = 0;
    for (GLsizei i = 0; i < count; i++)
        last = index[i] > last ? index[i] : last;
    GLfloat *q = calloc(4 * ((size_t)last + 1), sizeof(GLfloat));
    if (q == NULL) {
        draw_elements(mode, count, type, indices);
        return;
    }
    for (GLsizei i = 0; i < count; i++) {
        GLfloat v[4], st[4];
        element(vertices, vsize, vstride, index[i], v);
        element(coords, tsize, tstride, index[i], st);
        GLfloat w = clip_w(mv, pr, v);
        GLfloat *out = q + 4 * (size_t)index[i];
        out[0] = st[0] * w;
        out[1] = st[1] * w;
        out[2] = 0.0f;
        out[3] = w;
    }
    tex_coord_pointer(4, GL_FLOAT, 0, q);
    draw_elements(mode, count, type, indices);
    tex_coord_pointer(tsize, ttype, tstride, coords);
    free(q);
}
