/* Just enough of piglit's test framework to build one piglit-style test
 * program with freeglut and run it as piglit would: the window the test's
 * configuration asks for, piglit_init, then one piglit_display whose result
 * is printed as piglit's result line and is the exit status (0 pass, 1
 * fail). For the programs under docs/ that are written for piglit's tree. */
#ifndef PIGLIT_UTIL_GL_H
#define PIGLIT_UTIL_GL_H

#include <GL/glut.h>
#include <math.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>

#define MAX2(a, b) ((a) > (b) ? (a) : (b))

enum piglit_result { PIGLIT_PASS, PIGLIT_FAIL };
enum { PIGLIT_GL_VISUAL_RGB = 1, PIGLIT_GL_VISUAL_DOUBLE = 2, PIGLIT_NO_ERRORS = 1 };

struct piglit_gl_test_config {
    int supports_gl_compat_version, window_width, window_height, window_visual;
    int khr_no_error_support;
};

static int piglit_width, piglit_height;

enum piglit_result piglit_display(void);
void piglit_init(int argc, char **argv);

static bool piglit_check_gl_error(GLenum expected)
{
    return glGetError() == expected;
}

static void piglit_present_results(void)
{
    glutSwapBuffers();
}

static void piglit_ortho_projection(int w, int h, GLboolean push)
{
    (void)push;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

static void piglit_stub_display(void)
{
    enum piglit_result result = piglit_display();
    printf("PIGLIT: {\"result\": \"%s\"}\n", result == PIGLIT_PASS ? "pass" : "fail");
    exit(result == PIGLIT_PASS ? 0 : 1);
}

#define PIGLIT_GL_TEST_CONFIG_BEGIN \
    int main(int argc, char **argv) \
    { \
        struct piglit_gl_test_config config = {0};
#define PIGLIT_GL_TEST_CONFIG_END \
        glutInit(&argc, argv); \
        glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE); \
        glutInitWindowSize(config.window_width, config.window_height); \
        glutCreateWindow("piglit"); \
        piglit_width = config.window_width; \
        piglit_height = config.window_height; \
        piglit_init(argc, argv); \
        glutDisplayFunc(piglit_stub_display); \
        glutMainLoop(); \
        return 0; \
    }

#endif
