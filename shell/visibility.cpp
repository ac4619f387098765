// The visibility callback, shared by every program that animates only while
// it can be seen.
#include "shell.h"

// A hidden window gets no idle calls, so the animation freezes where it is
// and goes on from the same state once the window shows again.
void VisibilityFunc(int vis)
{
    glutIdleFunc(vis == GLUT_VISIBLE ? IdleFunc : nullptr);
}
