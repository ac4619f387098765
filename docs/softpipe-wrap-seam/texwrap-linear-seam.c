/*
 * Copyright © 2026 The Vorn renderer test suite's authors
 *
 * Permission is hereby granted, free of charge, to any person obtaining a
 * copy of this software and associated documentation files (the "Software"),
 * to deal in the Software without restriction, including without limitation
 * the rights to use, copy, modify, merge, publish, distribute, sublicense,
 * and/or sell copies of the Software, and to permit persons to whom the
 * Software is furnished to do so, subject to the following conditions:
 *
 * The above copyright notice and this permission notice (including the next
 * paragraph) shall be included in all copies or substantial portions of the
 * Software.
 *
 * THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR
 * IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY,
 * FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT.  IN NO EVENT SHALL
 * THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER
 * LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING
 * FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER
 * DEALINGS IN THE SOFTWARE.
 */

/**
 * \file texwrap-linear-seam.c
 *
 * GL_LINEAR filtering with GL_REPEAT across the wrap seam of a 256x256
 * texture, where the four texels of the bilinear footprint lie in two
 * different 32x32 blocks of the texture on each side of the seam.
 *
 * The texture holds R = s texel, G = t texel, B = s ^ t, so a texel read
 * from the wrong place shows. Two patches of 32x32 pixels each magnify
 * 4x4 texels (8 pixels a texel) centred on the seam:
 *   left   the t seam (t = 256 texels) where s crosses 32 texels;
 *   right  the s seam (s = 256 texels) where t crosses 32 texels.
 * Pixel centres fall at eighths of a texel plus a sixteenth, so 8-bit
 * filter weights represent every blend exactly. Every pixel is compared
 * with the blend of the four texels around the sample, each index wrapped,
 * within 3 steps of 255.
 *
 * softpipe (Mesa 22.3.6) fetches the four texels of a footprint that spans
 * two tiles of its texture cache as four pointers into a direct-mapped
 * cache of 16 tiles, and the third fetch can evict the tile the second
 * pointer reads: both patches fail there. llvmpipe passes.
 */

#include "piglit-util-gl.h"

#define SIZE 256
#define PATCH 32
#define ZOOM 8
#define TOLERANCE 3

PIGLIT_GL_TEST_CONFIG_BEGIN

	config.supports_gl_compat_version = 11;
	config.window_width = 2 * PATCH;
	config.window_height = PATCH;
	config.window_visual = PIGLIT_GL_VISUAL_RGB | PIGLIT_GL_VISUAL_DOUBLE;
	config.khr_no_error_support = PIGLIT_NO_ERRORS;

PIGLIT_GL_TEST_CONFIG_END

static unsigned char texels[SIZE][SIZE][3];	/* [t][s] */

/* The texture point, in texels, at the centre of each patch. */
static const double centre[2][2] = {
	{ PATCH, SIZE },	/* the t seam, across an s block boundary */
	{ SIZE, PATCH },	/* the s seam, across a t block boundary */
};

static int
wrap(double i)
{
	int w = (int) fmod(i, SIZE);
	return w < 0 ? w + SIZE : w;
}

/* GL_LINEAR with GL_REPEAT at (s, t) in texels, rounded to 8 bits. */
static void
exact_sample(double s, double t, int out[3])
{
	double u = s - 0.5, v = t - 0.5;
	double fu = floor(u), fv = floor(v);
	double a = u - fu, b = v - fv;
	int i0 = wrap(fu), i1 = wrap(fu + 1), j0 = wrap(fv), j1 = wrap(fv + 1);
	int c;

	for (c = 0; c < 3; c++) {
		double x = (1 - a) * (1 - b) * texels[j0][i0][c] +
			   a * (1 - b) * texels[j0][i1][c] +
			   (1 - a) * b * texels[j1][i0][c] +
			   a * b * texels[j1][i1][c];
		out[c] = (int) floor(x + 0.5);
	}
}

enum piglit_result
piglit_display(void)
{
	static unsigned char frame[PATCH][2 * PATCH][3];
	bool pass = true;
	int p, x, y, c, wrong = 0;

	glClear(GL_COLOR_BUFFER_BIT);
	glBegin(GL_QUADS);
	for (p = 0; p < 2; p++) {
		/* Coordinates that are multiples of 1/256: exact in float. */
		double s0 = (centre[p][0] - 2.0) / SIZE, s1 = (centre[p][0] + 2.0) / SIZE;
		double t0 = (centre[p][1] - 2.0) / SIZE, t1 = (centre[p][1] + 2.0) / SIZE;
		int x0 = p * PATCH;

		glTexCoord2d(s0, t0); glVertex2i(x0, 0);
		glTexCoord2d(s1, t0); glVertex2i(x0 + PATCH, 0);
		glTexCoord2d(s1, t1); glVertex2i(x0 + PATCH, PATCH);
		glTexCoord2d(s0, t1); glVertex2i(x0, PATCH);
	}
	glEnd();

	glPixelStorei(GL_PACK_ALIGNMENT, 1);
	glReadPixels(0, 0, 2 * PATCH, PATCH, GL_RGB, GL_UNSIGNED_BYTE, frame);

	for (y = 0; y < PATCH; y++) {
		for (x = 0; x < 2 * PATCH; x++) {
			const double *at = centre[x / PATCH];
			double s = at[0] - PATCH / (2.0 * ZOOM) + (x % PATCH + 0.5) / ZOOM;
			double t = at[1] - PATCH / (2.0 * ZOOM) + (y + 0.5) / ZOOM;
			int expected[3], off = 0;

			exact_sample(s, t, expected);
			for (c = 0; c < 3; c++)
				off = MAX2(off, abs(frame[y][x][c] - expected[c]));
			if (off > TOLERANCE) {
				if (wrong++ < 8)
					printf("pixel %d, %d (texel %.4f, %.4f): "
					       "expected %d %d %d, observed %d %d %d\n",
					       x, y, s, t, expected[0], expected[1],
					       expected[2], frame[y][x][0],
					       frame[y][x][1], frame[y][x][2]);
				pass = false;
			}
		}
	}
	if (wrong)
		printf("%d of %d pixels wrong\n", wrong, 2 * PATCH * PATCH);

	pass = piglit_check_gl_error(GL_NO_ERROR) && pass;
	piglit_present_results();
	return pass ? PIGLIT_PASS : PIGLIT_FAIL;
}

void
piglit_init(int argc, char **argv)
{
	GLuint tex;
	int s, t;

	for (t = 0; t < SIZE; t++) {
		for (s = 0; s < SIZE; s++) {
			texels[t][s][0] = s;
			texels[t][s][1] = t;
			texels[t][s][2] = s ^ t;
		}
	}

	glGenTextures(1, &tex);
	glBindTexture(GL_TEXTURE_2D, tex);
	glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
	glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, SIZE, SIZE, 0, GL_RGB,
		     GL_UNSIGNED_BYTE, texels);
	glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
	glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
	glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
	glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
	glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
	glEnable(GL_TEXTURE_2D);
	glDisable(GL_DITHER);
	glClearColor(0.0, 0.0, 0.0, 1.0);

	piglit_ortho_projection(piglit_width, piglit_height, GL_FALSE);
}
