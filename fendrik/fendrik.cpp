// fendrik: the texture tester. Two textured squares, given in the units of a
// 256 x 256 window grid, drawn at about one texel per pixel.
#include "fendrik.h"
#include "shell.h"

#include <cstdio>

const GLsizei POINTSTRIDE = sizeof(point3D);

int windowID;
unsigned char *textures[2];
GLuint texturesID[2];
extern const int texturesCount = 2;

point3D Square1Points[4];
point3D Square2Points[4];
const unsigned int Square1Indices[4] = {0, 1, 2, 3};
const unsigned int Square2Indices[4] = {0, 1, 2, 3};

void DrawObject(point3D *P, const unsigned int *indices, int n, int t)
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, POINTSTRIDE, &P->u);
    glVertexPointer(3, GL_FLOAT, POINTSTRIDE, &P->x);
    glBindTexture(GL_TEXTURE_2D, texturesID[t]);
    glDrawElements(GL_QUADS, n, GL_UNSIGNED_INT, indices);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

// The small square comes second with the depth test off, so it always covers
// the large one.
static void DisplayFunc(void)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_BLEND);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    DrawObject(Square1Points, Square1Indices, 4, 0);
    DrawObject(Square2Points, Square2Indices, 4, 1);
    glutSwapBuffers();
}

void IdleFunc(void)
{
    glutPostRedisplay();
}

// The grid always spans the whole window, so a resize stretches both squares.
static void ReshapeFunc(int width, int height)
{
    glViewport(0, 0, width, height);
    printf("%d x %d \n", width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
}

// Registered so that mouse events reach the program and are ignored.
static void MouseFunc(int, int, int, int) {}
static void MotionFunc(int, int) {}

// Corners top-left, top-right, bottom-right, bottom-left, so texture
// coordinate (0, 0), the file's first texel, sits at the top-left corner.
// The large square ends at 255 and the small one spans 63 units.
static void SetSquares(void)
{
    const float Z = 0.0001f, E = 0.9999f;
    SetPoint(&Square1Points[0],   0,   0, Z, 0, 0, 1, 1, 1, 1);
    SetPoint(&Square1Points[1], 255,   0, Z, E, 0, 1, 1, 1, 1);
    SetPoint(&Square1Points[2], 255, 255, Z, E, E, 1, 1, 1, 1);
    SetPoint(&Square1Points[3],   0, 255, Z, 0, E, 1, 1, 1, 1);
    SetPoint(&Square2Points[0], 100, 100, Z, 0, 0, 1, 1, 1, 1);
    SetPoint(&Square2Points[1], 163, 100, Z, E, 0, 1, 1, 1, 1);
    SetPoint(&Square2Points[2], 163, 163, Z, E, E, 1, 1, 1, 1);
    SetPoint(&Square2Points[3], 100, 163, Z, 0, E, 1, 1, 1, 1);
}

int main(int argc, char **argv)
{
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
    glutInitWindowSize(256, 256);
    windowID = glutCreateWindow("Fendrik Demo (Esc to exit)");

    LoadTexture("Texture2_256X256X24.RAW", 256, 24, 0);
    LoadTexture("Texture1_64X64X24.RAW", 64, 24, 1);
    glColor4f(1, 1, 1, 1);
    glClearColor(0.1f, 0.1f, 0.5f, 1.0f);
    glDisable(GL_DEPTH_TEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
    SetSquares();

    glutDisplayFunc(DisplayFunc);
    glutReshapeFunc(ReshapeFunc);
    glutVisibilityFunc(VisibilityFunc);
    glutKeyboardFunc(KeyboardFunc);
    glutMouseFunc(MouseFunc);
    glutMotionFunc(MotionFunc);
    glutMainLoop();
    return 0;
}
