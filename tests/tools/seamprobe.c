/* seamprobe: draws one frame of a GL_LINEAR, GL_REPEAT texture magnified
 * across its wrap seam, reads it back and compares every pixel with the
 * bilinear sample that OpenGL 1.1 defines at the pixel's centre.
 *
 * The texture is 256x256 GL_RGB with R = s texel, G = t texel and B = their
 * exclusive or, so that any texel read in the wrong place shows. The window
 * is 256x256 pixels in 8x8 patches of 32x32 pixels; each patch shows 4x4
 * texels (eight pixels a texel) centred on one point of the texture:
 *   row 0   the t seam (t texel 256) where s crosses a 32-texel boundary
 *   row 1   the s seam (s texel 256) where t crosses a 32-texel boundary
 *   row 2   the t seam halfway between s boundaries
 *   row 3   the s seam halfway between t boundaries
 *   rows 4-7  inside the texture, where both cross 32-texel boundaries
 * Rows count from the bottom of the window. Pixel centres fall at eighths of
 * a texel plus a sixteenth, never on a texel centre, so every pixel blends
 * four texels with weights that 8-bit filtering represents exactly.
 *
 * Prints the renderer, then one line per pixel that differs from the exact
 * sample by more than TOLERANCE in any channel:
 *   X Y observed R G B exact R G B at S T
 * (X, Y window coordinates from the bottom left; S, T the texture coordinate
 * at the pixel centre in texels), and last "N of M pixels differ, worst by K".
 * With --all it prints that line for every pixel, differing or not. Exits 1
 * where any pixel differs, 0 where none does, 2 where the window or GL fails.
 * --once is accepted and is what it always does: one frame, then exit. */
#include <GL/glut.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define SIZE 256          /* texture and window side */
#define PATCH 32          /* pixels per patch side */
#define PATCHES (SIZE / PATCH)
#define ZOOM 8            /* pixels per texel */
#define TOLERANCE 3

static unsigned char texels[SIZE][SIZE][3];     /* [t][s] */
static unsigned char frame[SIZE][SIZE][3];      /* [y][x] as read back */
static int printAll;

static void MakeTexture(void)
{
    for (int t = 0; t < SIZE; t++) {
        for (int s = 0; s < SIZE; s++) {
            texels[t][s][0] = (unsigned char)s;
            texels[t][s][1] = (unsigned char)t;
            texels[t][s][2] = (unsigned char)(s ^ t);
        }
    }
}

/* The texture point, in texels, at the centre of the patch in column col of
 * row row (see the layout above). */
static void PatchCentre(int col, int row, double *s, double *t)
{
    switch (row) {
    case 0: *s = PATCH * col;            *t = SIZE;                   break;
    case 1: *s = SIZE;                   *t = PATCH * col;            break;
    case 2: *s = PATCH * col + PATCH / 2; *t = SIZE;                  break;
    case 3: *s = SIZE;                   *t = PATCH * col + PATCH / 2; break;
    default:
        *s = col < PATCHES - 1 ? PATCH * (col + 1) : 100;
        *t = PATCH + 2 * PATCH * (row - 4);
        break;
    }
}

/* The texture coordinate, in texels, at the centre of pixel (x, y): the
 * patch's coordinates are an affine function of the window position. */
static void PixelTexel(int x, int y, double *s, double *t)
{
    double cs, ct;
    PatchCentre(x / PATCH, y / PATCH, &cs, &ct);
    *s = cs - PATCH / (2.0 * ZOOM) + (x % PATCH + 0.5) / ZOOM;
    *t = ct - PATCH / (2.0 * ZOOM) + (y % PATCH + 0.5) / ZOOM;
}

static int Wrap(double i)
{
    int w = (int)fmod(i, SIZE);
    return w < 0 ? w + SIZE : w;
}

/* GL_LINEAR with GL_REPEAT: the four texels around u = s - 1/2, v = t - 1/2,
 * each index wrapped into the texture, weighted by the fractions of u, v. */
static void ExactSample(double s, double t, double out[3])
{
    double u = s - 0.5, v = t - 0.5;
    double fu = floor(u), fv = floor(v);
    double a = u - fu, b = v - fv;
    int i0 = Wrap(fu), i1 = Wrap(fu + 1), j0 = Wrap(fv), j1 = Wrap(fv + 1);
    for (int c = 0; c < 3; c++) {
        out[c] = (1 - a) * (1 - b) * texels[j0][i0][c] + a * (1 - b) * texels[j0][i1][c]
               + (1 - a) * b * texels[j1][i0][c] + a * b * texels[j1][i1][c];
    }
}

static void DrawPatches(void)
{
    glBegin(GL_QUADS);
    for (int row = 0; row < PATCHES; row++) {
        for (int col = 0; col < PATCHES; col++) {
            double cs, ct;
            PatchCentre(col, row, &cs, &ct);
            /* Corners on whole pixels and texture coordinates that are
             * multiples of 1/256: both exact in single precision. */
            double s0 = (cs - 2.0) / SIZE, s1 = (cs + 2.0) / SIZE;
            double t0 = (ct - 2.0) / SIZE, t1 = (ct + 2.0) / SIZE;
            int x0 = col * PATCH, y0 = row * PATCH;
            glTexCoord2d(s0, t0); glVertex2i(x0, y0);
            glTexCoord2d(s1, t0); glVertex2i(x0 + PATCH, y0);
            glTexCoord2d(s1, t1); glVertex2i(x0 + PATCH, y0 + PATCH);
            glTexCoord2d(s0, t1); glVertex2i(x0, y0 + PATCH);
        }
    }
    glEnd();
}

static int Compare(void)
{
    int differ = 0, worst = 0;
    for (int y = 0; y < SIZE; y++) {
        for (int x = 0; x < SIZE; x++) {
            double s, t, exact[3];
            int rounded[3], off = 0;
            PixelTexel(x, y, &s, &t);
            ExactSample(s, t, exact);
            for (int c = 0; c < 3; c++) {
                rounded[c] = (int)floor(exact[c] + 0.5);
                int d = abs(frame[y][x][c] - rounded[c]);
                if (d > off)
                    off = d;
            }
            if (off > worst)
                worst = off;
            if (off > TOLERANCE)
                differ++;
            if (off > TOLERANCE || printAll) {
                printf("%d %d observed %d %d %d exact %d %d %d at %.4f %.4f\n", x, y,
                       frame[y][x][0], frame[y][x][1], frame[y][x][2],
                       rounded[0], rounded[1], rounded[2], s, t);
            }
        }
    }
    printf("%d of %d pixels differ, worst by %d\n", differ, SIZE * SIZE, worst);
    return differ;
}

static void DisplayFunc(void)
{
    if (glutGet(GLUT_WINDOW_WIDTH) != SIZE || glutGet(GLUT_WINDOW_HEIGHT) != SIZE) {
        fprintf(stderr, "seamprobe: the window is %dx%d, not %dx%d\n",
                glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT), SIZE, SIZE);
        exit(2);
    }
    glViewport(0, 0, SIZE, SIZE);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawPatches();
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, SIZE, SIZE, GL_RGB, GL_UNSIGNED_BYTE, frame);
    if (glGetError() != GL_NO_ERROR) {
        fprintf(stderr, "seamprobe: GL error while drawing\n");
        exit(2);
    }
    int differ = Compare();
    fflush(stdout);
    exit(differ ? 1 : 0);
}

int main(int argc, char **argv)
{
    glutInit(&argc, argv);
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--all") == 0) {
            printAll = 1;
        } else if (strcmp(argv[i], "--once") != 0) {
            fprintf(stderr, "usage: seamprobe [--once] [--all]\n");
            return 2;
        }
    }
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(SIZE, SIZE);
    glutCreateWindow("Seam probe");
    printf("renderer: %s\n", (const char *)glGetString(GL_RENDERER));

    MakeTexture();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, SIZE, SIZE, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DITHER);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, SIZE, 0, SIZE, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glutDisplayFunc(DisplayFunc);
    glutMainLoop();
    return 0;
}
