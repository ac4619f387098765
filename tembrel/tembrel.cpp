// tembrel: the analog clock. A textured clock body and three textured hands
// set from the local time, with the time as text from the centre.
#include "clockgeometry.h"
#include "shell.h"

#include <cstdio>
#include <ctime>

const double DEGREESPERSECOND = 6;
const double DEGREESPERMINUTE = 6;
const double DEGREESPERHOUR = 30;
const double MINUTESPERHOUR = 60;
const double FULLTURN = 360;

// Each hand is pulled towards the viewer by its own small step, so that no
// two hands share a depth and the nearest one wins where they cross.
const float SECONDHANDZ = -0.003f;
const float MINUTEHANDZ = -0.002f;
const float HOURHANDZ = -0.001f;

const GLsizei POINTSTRIDE = 5 * sizeof(float);   // u v x y z
const int HANDSSLOT = 0;
const int BODYSLOT = 1;

int windowID;
unsigned char *textures[2];
GLuint texturesID[2];
extern const int texturesCount = 2;

// The local time at the last idle call; a frame before the first one shows
// 0:0:0 with every hand at 12.
int h, m, s;

static void DrawObject(const float *points, const unsigned int *indices, int trianglesCount,
                       int n)
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, POINTSTRIDE, points);
    glVertexPointer(3, GL_FLOAT, POINTSTRIDE, points + 2);
    glBindTexture(GL_TEXTURE_2D, texturesID[n]);
    glDrawElements(GL_TRIANGLES, 3 * trianglesCount, GL_UNSIGNED_INT, indices);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

// Each call multiplies on the right, so a vertex is translated first and then
// turned about z, y and x. Angles in degrees.
void SetPosition(float x, float y, float z, float rx, float ry, float rz)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(rx, 1, 0, 0);
    glRotatef(ry, 0, 1, 0);
    glRotatef(rz, 0, 0, 1);
    glTranslatef(x, y, z);
}

// Bitmap text from (x, y) in normalised window coordinates. Texturing and
// blending stay on, so the GL modulates the white raster colour by the bound
// hands' image: at the raster position's texture coordinates, which the
// vertex arrays never change from (0, 0), or on Mesa at those of its glyph
// cache. The image is opaque white at both.
void xytext(float x, float y, const char *t)
{
    SetPosition(0, 0, 0, 0, 0, 0);
    glColor4ub(255, 255, 255, 255);
    glRasterPos2f(x, y);
    for (; *t != '\0'; t++)
        glutBitmapCharacter(GLUT_BITMAP_8_BY_13, *t);
}

// Drawn from the farthest to the nearest (body, second, minute, hour): the
// transparent texels around a hand still write depth, so a hand drawn later
// but lying behind would be cut by them.
static void DisplayFunc(void)
{
    char t[20];

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    SetPosition(0, 0, 0, 0, 0, 0);
    DrawObject(BodyPoints, BodyIndices, BodyTrianglesCount, BODYSLOT);

    // A positive angle turns counter-clockwise, so 360 minus the angle from
    // 12 turns a hand clockwise. The hour hand moves once a minute.
    SetPosition(0, 0, SECONDHANDZ, 0, 0, (float)(FULLTURN - DEGREESPERSECOND * s));
    DrawObject(SecondHandPoints, SecondHandIndices, HandTrianglesCount, HANDSSLOT);
    SetPosition(0, 0, MINUTEHANDZ, 0, 0, (float)(FULLTURN - DEGREESPERMINUTE * m));
    DrawObject(MinuteHandPoints, MinuteHandIndices, HandTrianglesCount, HANDSSLOT);
    SetPosition(0, 0, HOURHANDZ, 0, 0,
                (float)(FULLTURN - DEGREESPERHOUR * (h + m / MINUTESPERHOUR)));
    DrawObject(HourHandPoints, HourHandIndices, HandTrianglesCount, HANDSSLOT);

    snprintf(t, sizeof t, "%d:%d:%d", h, m, s);
    xytext(0, 0, t);
    glutSwapBuffers();
}

// Reads the clock on every pass and redraws whether or not it changed.
void IdleFunc(void)
{
    time_t mytime = time(nullptr);
    struct tm *newtime = localtime(&mytime);
    // A clock the C library cannot convert keeps the last time shown.
    if (newtime != nullptr) {
        h = newtime->tm_hour;
        m = newtime->tm_min;
        s = newtime->tm_sec;
    }
    glutPostRedisplay();
}

// The projection stays the identity: the clock fills the window, stretched
// into an ellipse when the window is not square.
static void ReshapeFunc(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
}

int main(int argc, char **argv)
{
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(240, 240);
    windowID = glutCreateWindow("Tembrel Demo (Esc to exit)");

    LoadTexture("Texture1_128X128X32.RAW", 128, 32, HANDSSLOT);
    LoadTexture("Texture2_256X256X24.RAW", 256, 24, BODYSLOT);
    glColor4f(1, 1, 1, 1);
    glClearColor(0.1f, 0.1f, 0.5f, 1.0f);
    glEnable(GL_DEPTH_TEST);
    // Counter-clockwise fronts with back faces culled: the body shows its
    // face at z = 0.7 and each hand its counter-clockwise pair.
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);

    glutDisplayFunc(DisplayFunc);
    glutReshapeFunc(ReshapeFunc);
    glutVisibilityFunc(VisibilityFunc);
    glutKeyboardFunc(KeyboardFunc);
    glutMainLoop();
    return 0;
}
