/* Preloaded into a program under test, breaks texture uploads the way a
 * driver's copy or conversion could. TEXUPLOAD_FAULT picks the fault:
 *   border  the last row and the last column are copies of the ones before
 *           them, as from a copy one texel short padded with its edge;
 *   flip    the rows are stored bottom row first, the origin at the wrong end;
 *   bias    every colour channel is stored 6 steps too high (alpha is kept),
 *           as from a conversion with a wrong rounding bias.
 * Only 8-bit RGB and RGBA level uploads are changed, on a copy of the
 * program's pixels; everything else passes through unchanged. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#define BIAS 6

static void last_row_and_column_repeated(unsigned char *texels, size_t width,
                                         size_t height, size_t comps)
{
    size_t stride = width * comps;
    if (width < 2 || height < 2)
        return;
    memcpy(texels + (height - 1) * stride, texels + (height - 2) * stride, stride);
    for (size_t row = 0; row < height; row++) {
        unsigned char *last = texels + row * stride + (width - 1) * comps;
        memcpy(last, last - comps, comps);
    }
}

static void rows_reversed(unsigned char *texels, const unsigned char *pixels,
                          size_t width, size_t height, size_t comps)
{
    size_t stride = width * comps;
    for (size_t row = 0; row < height; row++)
        memcpy(texels + row * stride, pixels + (height - 1 - row) * stride, stride);
}

static void colours_raised(unsigned char *texels, size_t count, size_t comps)
{
    for (size_t i = 0; i < count * comps; i++) {
        if (i % comps < 3)
            texels[i] = (unsigned char)(texels[i] > 255 - BIAS ? 255 : texels[i] + BIAS);
    }
}

void glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width,
                  GLsizei height, GLint border, GLenum format, GLenum type,
                  const void *pixels)
{
    static void (*next)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                        const void *);
    const char *fault = getenv("TEXUPLOAD_FAULT");
    size_t comps = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 0;
    unsigned char *texels = NULL;
    if (next == NULL)
        next = (void (*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                         const void *))next_gl("glTexImage2D");
    if (fault != NULL && pixels != NULL && comps && type == GL_UNSIGNED_BYTE && width > 0 &&
        height > 0) {
        // Rows are tightly packed: the programs upload with an unpack
        // alignment their row sizes meet.
        size_t size = (size_t)width * (size_t)height * comps;
        texels = malloc(size);
    }
    if (texels != NULL) {
        size_t w = (size_t)width, h = (size_t)height;
        memcpy(texels, pixels, w * h * comps);
        if (strcmp(fault, "border") == 0)
            last_row_and_column_repeated(texels, w, h, comps);
        else if (strcmp(fault, "flip") == 0)
            rows_reversed(texels, pixels, w, h, comps);
        else if (strcmp(fault, "bias") == 0)
            colours_raised(texels, w * h, comps);
        pixels = texels;
    }
    next(target, level, internalformat, width, height, border, format, type, pixels);
    free(texels);
}
