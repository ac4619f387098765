// vorntest5: the render-state test. A coloured, textured quad whose render
// states come from a checkable pop-up menu; a left drag turns or sizes it and
// prints the values.
#include "shell.h"
#include "vorntest.h"

#include <cstdio>

int windowID;
unsigned char *textures[1];
GLuint texturesID[1];
extern const int texturesCount = 1;

const int MAXMENU = 100;
menu3D Menus[MAXMENU];

unsigned TextureON = ON;
unsigned PerspectiveON = ON;
unsigned Persp = 150;             // vertical field of view, degrees
unsigned SizeON = ON;             // a drag sizes (1) or turns (0) the quad
float aspect = 1.0f;
float fy = 0.0f;
static float yRot = 208.8f;
static float xyzSize = -0.56f;    // negative: mirrored through the origin

// u, v, x, y, z per vertex; the texture stops just short of 1 (1 - 2^-23).
static const float points[20] = {
    0.0f,       0.9999999f, -0.95f,  0.95f, 0.0f,
    0.9999999f, 0.9999999f,  0.95f,  0.95f, 0.0f,
    0.9999999f, 0.0f,        0.95f, -0.95f, 0.0f,
    0.0f,       0.0f,       -0.95f, -0.95f, 0.0f,
};
static const menuRow3D ViewMenu[] = {
    {"Perspective: Off", &PerspectiveON, OFF},
    {"Perspective: On",  &PerspectiveON, ON},
    {"Mouse: Do Rot.",   &SizeON,        OFF},
    {"Mouse: Do Size",   &SizeON,        ON},
    // The degree sign is the single Latin-1 byte 0xB0.
    {"Persp: 10\xB0",    &Persp,  10},
    {"Persp: 20\xB0",    &Persp,  20},
    {"Persp: 30\xB0",    &Persp,  30},
    {"Persp: 40\xB0",    &Persp,  40},
    {"Persp: 50\xB0",    &Persp,  50},
    {"Persp: 70\xB0",    &Persp,  70},
    {"Persp: 80\xB0",    &Persp,  80},
    {"Persp: 90\xB0",    &Persp,  90},
    {"Persp: 100\xB0",   &Persp, 100},
    {"Persp: 110\xB0",   &Persp, 110},
    {"Persp: 120\xB0",   &Persp, 120},
    {"Persp: 140\xB0",   &Persp, 140},
    {"Persp: 150\xB0",   &Persp, 150},
    {"Persp: 160\xB0",   &Persp, 160},
    {"Persp: 170\xB0",   &Persp, 170},
};
static const int VIEWMENUCOUNT = sizeof ViewMenu / sizeof ViewMenu[0];

void MakeMenus(void)
{
    MenusCount = 0;
    AddMenuRows(StateMenu, STATEMENUCOUNT);
    AddMenuRows(ViewMenu, VIEWMENUCOUNT);
    DoGlutMenus();
}

static void DrawObject(void)
{
    DrawQuad(points, texturesID[0]);
}

static void DisplayFunc(void)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ChangeRenderState();
    ChangeView(yRot, xyzSize);
    DrawObject();
    glutSwapBuffers();
}

// The readout repeats on every idle call while the button is held, moved or
// not, and shows the angle before the wrap.
void IdleFunc(void)
{
    if (MouseDrag == 1) {
        if (SizeON == ON)
            xyzSize = fy;
        else
            yRot = DragAngle(fx);
        PrintReadout(xyzSize, yRot);
    }
    yRot = WrapAngle(yRot);
    glutPostRedisplay();
}

// Called for a drag with any button; only a left drag applies the values.
static void MotionFunc(int x, int y)
{
    fx = DragCoord(x, glutGet(GLUT_WINDOW_WIDTH), fx);
    fy = DragCoord(y, glutGet(GLUT_WINDOW_HEIGHT), fy);
}

int main(int argc, char **argv)
{
    char filename[FULLNAMESIZE];

    glutInit(&argc, argv);
    // A longer argument is cut to the buffer.
    snprintf(filename, sizeof filename, "%s",
             argc == 2 ? argv[1] : "Texture2_256X256X24.RAW");
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(600, 600);
    windowID = glutCreateWindow("VornTest Demo (Esc to exit)");

    LoadTexture(filename, 0);
    SetFixedState(GL_NICEST);

    RegisterCallbacks(DisplayFunc, MotionFunc);
    MakeMenus();
    glutMainLoop();
    return 0;
}
