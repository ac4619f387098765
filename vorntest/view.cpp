// vorntest5's projection and model-view matrices, rebuilt on every frame
// from the window size, the perspective switch and the drag values.
#include "vorntest.h"

#include <cmath>

static const float ZNEAR = 0.01f;
static const float ZFAR = 1.0f;

// The field of view is vertical; 3.1416 rather than pi, as the projection
// has always been computed.
void mygluPerspective(float fovy, float aspect, float zNear, float zFar)
{
    float t = (float)tan(3.1416 * fovy / 360.0);
    float ymax = zNear * t;
    float ymin = -ymax;
    float xmin = ymin * aspect;
    float xmax = ymax * aspect;
    glFrustum(xmin, xmax, ymin, ymax, zNear, zFar);
}

// A window with no area keeps the last aspect ratio.
void ReshapeFunc(int width, int height)
{
    aspect = WindowAspect(width, height, aspect);
    glViewport(0, 0, width, height);
}

// The quad is scaled, moved 0.5 along z, then turned about the vertical axis
// through the eye, so a full turn carries it round the viewer.
void ChangeView(float yRot, float xyzSize)
{
    int width = glutGet(GLUT_WINDOW_WIDTH);
    int height = glutGet(GLUT_WINDOW_HEIGHT);
    aspect = WindowAspect(width, height, aspect);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (PerspectiveON == ON)
        mygluPerspective((float)Persp, aspect, ZNEAR, ZFAR);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(yRot, 0.0f, 1.0f, 0.0f);
    glTranslatef(0.0f, 0.0f, 0.5f);
    glScalef(xyzSize, xyzSize, xyzSize);
}
