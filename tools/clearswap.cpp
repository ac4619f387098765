// clearswap: the least a GLUT program can do per frame, a clear and a buffer
// swap, as fast as the idle loop runs. The renderer report measures its frame
// rate at each program's window size to give the programs' rates a baseline.
//   clearswap WIDTH HEIGHT [depth]   "depth" asks for and clears a depth buffer too
//   clearswap --info                 prints the renderer, the channel bits and the
//                                    smooth point size granularity and range, then exits
#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static int windowID;
static GLbitfield clearMask = GL_COLOR_BUFFER_BIT;

static void DisplayFunc(void)
{
    glClear(clearMask);
    glutSwapBuffers();
}

static void IdleFunc(void)
{
    glutPostRedisplay();
}

static void KeyboardFunc(unsigned char key, int, int)
{
    if (key == 27) {
        glutDestroyWindow(windowID);
        exit(0);
    }
}

// GL_RED_BITS and friends are 1.1 queries of the drawable's visual; the
// report derives its colour tolerance from them. GL_POINT_SIZE_GRANULARITY
// (GL_SMOOTH_POINT_SIZE_GRANULARITY since 1.2) is how finely a smooth
// point's size is rounded and GL_POINT_SIZE_RANGE the sizes it may take
// (only 1 is sure): the starfield's verdict allows for both.
static void PrintInfo(void)
{
    GLfloat granularity = 0.0f;
    GLfloat range[2] = {0.0f, 0.0f};
    glGetFloatv(GL_POINT_SIZE_GRANULARITY, &granularity);
    glGetFloatv(GL_POINT_SIZE_RANGE, range);
    GLint bits[4];
    glGetIntegerv(GL_RED_BITS, &bits[0]);
    glGetIntegerv(GL_GREEN_BITS, &bits[1]);
    glGetIntegerv(GL_BLUE_BITS, &bits[2]);
    glGetIntegerv(GL_ALPHA_BITS, &bits[3]);
    printf("renderer: %s\n", (const char *)glGetString(GL_RENDERER));
    printf("vendor: %s\n", (const char *)glGetString(GL_VENDOR));
    printf("version: %s\n", (const char *)glGetString(GL_VERSION));
    printf("bits: %d %d %d %d\n", bits[0], bits[1], bits[2], bits[3]);
    printf("point_granularity: %g\n", granularity);
    printf("point_range: %g %g\n", range[0], range[1]);
}

static int SizeArgument(const char *text)
{
    int value = atoi(text);
    return value > 0 && value <= 16384 ? value : 256;
}

int main(int argc, char **argv)
{
    glutInit(&argc, argv);
    bool info = argc > 1 && strcmp(argv[1], "--info") == 0;
    bool depth = argc > 3 && strcmp(argv[3], "depth") == 0;
    int width = argc > 2 && !info ? SizeArgument(argv[1]) : 256;
    int height = argc > 2 && !info ? SizeArgument(argv[2]) : 256;

    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | (depth ? GLUT_DEPTH : 0));
    glutInitWindowSize(width, height);
    windowID = glutCreateWindow("Clearswap (Esc to exit)");
    if (info) {
        PrintInfo();
        return 0;
    }
    if (depth)
        clearMask |= GL_DEPTH_BUFFER_BIT;
    glClearColor(0.1f, 0.1f, 0.5f, 1.0f);

    glutDisplayFunc(DisplayFunc);
    glutKeyboardFunc(KeyboardFunc);
    glutIdleFunc(IdleFunc);
    glutMainLoop();
    return 0;
}
