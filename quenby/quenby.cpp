// quenby: the starfield. Stars drift from right to left; near stars are
// large, white and fast, far ones small, blue and slow.
#include "shell.h"
#include "stars.h"

#include <cstdlib>

int windowID;
star3D Stars[STARCOUNT];
int n;      // the star index of both the set-up loop and the frame loop

// A unit square from the left/bottom edge (0) to the right/top edge (1),
// stretched to whatever shape the window has.
//
// The depth test stays off. With no depth buffer, as in the visual freeglut
// gets for a double-buffered RGB window here, an enabled test rejects
// nothing; but on a visual that brings a depth buffer anyway it would reject
// every star landing on a pixel that an earlier frame drew, since only the
// colour buffer is cleared. Leaving it off draws every star either way.
void My_glInit(void)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, 0, 1);
    glEnable(GL_POINT_SMOOTH);
}

// Both the idle and the display callback: every call, a redisplay that GLUT
// asks for on its own included, moves the stars one step. A star is moved
// before it is drawn, so none shows at its first position.
void IdleFunc(void)
{
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    for (n = 0; n < STARCOUNT; n++) {
        star3D *S = &Stars[n];
        MoveStar(S);
        glColor3f(S->r, S->g, S->b);
        // The size cannot change inside glBegin/glEnd: one primitive a star.
        glPointSize(S->size);
        glBegin(GL_POINTS);
        glVertex3f(S->x, S->y, 0);
        glEnd();
    }
    glFlush();
    glutSwapBuffers();
}

// There are no texture buffers, so Esc needs no more than this.
void KeyboardFunc(unsigned char key, int, int)
{
    if (key == ESCAPE_KEY) {
        glutDestroyWindow(windowID);
        exit(SHUTDOWN_STATUS);
    }
}

// The table is built before GLUT starts, from the unseeded generator, so the
// field is the same on every run. IdleFunc stays the idle callback for good:
// the stars move on while the window is hidden.
int main(int argc, char **argv)
{
    for (n = 0; n < STARCOUNT; n++)
        MakeStar(&Stars[n]);

    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
    glutInitWindowSize(640, 480);
    glutInitWindowPosition(300, 300);
    windowID = glutCreateWindow("Zorvex Test Window");
    My_glInit();

    glutDisplayFunc(IdleFunc);
    glutIdleFunc(IdleFunc);
    glutKeyboardFunc(KeyboardFunc);
    glutMainLoop();
    return 0;
}
