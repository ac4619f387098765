// vorntest: the first version of the render-state test. The same quad and
// menu mechanism with fewer entries, the identity projection, a generated
// texture, and a left drag that only turns the quad.
#include "shell.h"
#include "vorntest.h"

#include <cstdlib>

int windowID;
static char *texture;
static GLuint textureID;

const int MAXMENU = STATEMENUCOUNT;
menu3D Menus[MAXMENU];

unsigned TextureON = OFF;
static float yRot = 180.0f;

// u, v, x, y, z per vertex; the texture stops at 0.96 of the pattern.
static const float points[20] = {
    0.0f,       0.9599999f, -0.95f,  0.95f, 0.0f,
    0.9599999f, 0.9599999f,  0.95f,  0.95f, 0.0f,
    0.9599999f, 0.0f,        0.95f, -0.95f, 0.0f,
    0.0f,       0.0f,       -0.95f, -0.95f, 0.0f,
};

void MakeMenus(void)
{
    MenusCount = 0;
    AddMenuRows(StateMenu, STATEMENUCOUNT);
    DoGlutMenus();
}

// The generated pattern; the caller enables texturing.
static unsigned LoadTexture(const char *, int size, int bits)
{
    texture = (char *)malloc((size_t)size * size * bits / 8);
    if (texture == nullptr) {
        glutDestroyWindow(windowID);
        exit(SHUTDOWN_STATUS);
    }
    CreateTex32(texture, (unsigned)size);
    glGenTextures(1, &textureID);
    glBindTexture(GL_TEXTURE_2D, textureID);
    glTexImage2D(GL_TEXTURE_2D, 0, bits / 8, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 texture);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return textureID;
}

static void DrawObject(void)
{
    DrawQuad(points, textureID);
}

static void DisplayFunc(void)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ChangeRenderState();
    glPushMatrix();
    glRotatef(yRot, 0.0f, 1.0f, 0.0f);
    DrawObject();
    glPopMatrix();
    glutSwapBuffers();
}

void IdleFunc(void)
{
    if (MouseDrag == 1)
        yRot = DragAngle(fx);
    yRot = WrapAngle(yRot);
    glutPostRedisplay();
}

// Both matrices stay the identity: the quad stretches with the window.
void ReshapeFunc(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

static void MotionFunc(int x, int)
{
    fx = DragCoord(x, glutGet(GLUT_WINDOW_WIDTH), fx);
}

// This program has no texture slots, so it shuts down on its own.
void KeyboardFunc(unsigned char key, int, int)
{
    if (key != ESCAPE_KEY)
        return;
    glutDestroyWindow(windowID);
    free(texture);
    exit(SHUTDOWN_STATUS);
}

int main(int argc, char **argv)
{
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    windowID = glutCreateWindow("VornTest Demo (Esc to exit)");

    LoadTexture("", 256, 32);
    SetFixedState(GL_FASTEST);

    RegisterCallbacks(DisplayFunc, MotionFunc);
    MakeMenus();
    glutMainLoop();
    return 0;
}
