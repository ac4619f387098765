/* The GL function a preloaded fault library passes a call on to, or calls
 * itself. In a program linked with libGL that is the next definition after
 * the library itself. apitrace's eglretrace links no GL library: it opens libEGL at run
 * time and looks every GL function up by name, first in the process's
 * global scope (where it finds the preloaded one) and then through
 * eglGetProcAddress, so the real function is found the same way. */
#ifndef NEXTGL_H
#define NEXTGL_H

#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <dlfcn.h>
#include <stddef.h>

static void *next_gl(const char *name)
{
    void *found = dlsym(RTLD_NEXT, name);
    if (found == NULL) {
        void *egl = dlopen("libEGL.so.1", RTLD_LAZY | RTLD_NOLOAD);
        void *(*lookup)(const char *) =
            egl ? (void *(*)(const char *))dlsym(egl, "eglGetProcAddress") : NULL;
        if (lookup != NULL)
            found = lookup(name);
    }
    return found;
}

#endif
