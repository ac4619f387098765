/* Preloaded into a program under test, plays a driver that is slow in one
 * render state: glFogi, which the render-state programs call only while
 * fog is on (to set its mode), takes 4 ms longer before it reaches the GL.
 * States without fog keep their speed. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include "nextgl.h"
#include <stddef.h>
#include <time.h>

void glFogi(GLenum pname, GLint param)
{
    static void (*next)(GLenum, GLint);
    const struct timespec delay = {0, 4000000};
    if (next == NULL)
        next = (void (*)(GLenum, GLint))next_gl("glFogi");
    nanosleep(&delay, NULL);
    next(pname, param);
}
