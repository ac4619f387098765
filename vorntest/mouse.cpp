// Left-button drags: the button state, the pointer mapping, and the readout
// printed while a drag lasts.
#include "vorntest.h"

#include <cstdio>
#include <cstdlib>

int MouseDrag = 0;
float fx = 0.0f;

// Only the left button drags; the press position is not used, so a drag
// starts from the last position the motion callback saw.
void MouseFunc(int button, int state, int, int)
{
    if (button != GLUT_LEFT_BUTTON)
        return;
    if (state == GLUT_DOWN)
        MouseDrag = 1;
    if (state == GLUT_UP)
        MouseDrag = 0;
}

float DragCoord(int pos, int extent, float last)
{
    if (extent <= 0)
        return last;
    float f = (float)(2.0 * pos / extent - 1.0);
    if (f > 1.0f)
        f = 1.0f;
    if (f < -1.0f)
        f = -1.0f;
    return f;
}

// One sweep across the window is one full turn: 540 at the left edge, 180 at
// the right.
float DragAngle(float x)
{
    return (float)(360.0 - 180.0 * x);
}

float WrapAngle(float angle)
{
    if (angle < 0.0f)
        angle += 360.0f;
    if (angle >= 360.0f)
        angle -= 360.0f;
    return angle;
}

float WindowAspect(int width, int height, float previous)
{
    if (width <= 0 || height <= 0)
        return previous;
    return (float)width / (float)height;
}

// The digits are those of the single-precision value: the fraction is taken
// in float, so 0.7 prints as 0.699999 and 208.8 as 208.800003.
int pfText(char *out, float x)
{
    int high = (int)x;
    float fraction = x - (float)high;
    if (fraction < 0.0f)
        fraction = -fraction;
    int low = (int)(1000000.0 * fraction);
    return snprintf(out, PFSIZE, "%s%d.%06d ", x < 0.0f ? "-" : "", abs(high), low);
}

void pf(float x)
{
    char text[PFSIZE];
    pfText(text, x);
    printf("%s", text);
}

void PrintReadout(float xyzSize, float yRot)
{
    printf(" xyzSize=");
    pf(xyzSize);
    printf("\n yRot=");
    pf(yRot);
    printf("\n");
}
