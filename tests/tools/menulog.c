/* Preloaded into a program under test, records its GLUT menu calls from
 * outside, one line each, in the file named by MENULOG_FILE:
 *   "create ID", "entry VALUE LABEL", "attach BUTTON", "destroy ID"
 * LABEL is written as the raw bytes the program passed (a Latin-1 degree
 * sign stays the single byte 0xB0). The program itself is unchanged. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

static FILE *logfile(void)
{
    static FILE *log;
    if (log == NULL) {
        const char *name = getenv("MENULOG_FILE");
        if (name == NULL || (log = fopen(name, "w")) == NULL)
            return NULL;
        setvbuf(log, NULL, _IONBF, 0);
    }
    return log;
}

int glutCreateMenu(void (*callback)(int))
{
    static int (*next)(void (*)(int));
    if (next == NULL)
        next = (int (*)(void (*)(int)))dlsym(RTLD_NEXT, "glutCreateMenu");
    int id = next(callback);
    FILE *log = logfile();
    if (log)
        fprintf(log, "create %d\n", id);
    return id;
}

void glutAddMenuEntry(const char *label, int value)
{
    static void (*next)(const char *, int);
    if (next == NULL)
        next = (void (*)(const char *, int))dlsym(RTLD_NEXT, "glutAddMenuEntry");
    FILE *log = logfile();
    if (log)
        fprintf(log, "entry %d %s\n", value, label);
    next(label, value);
}

void glutAttachMenu(int button)
{
    static void (*next)(int);
    if (next == NULL)
        next = (void (*)(int))dlsym(RTLD_NEXT, "glutAttachMenu");
    FILE *log = logfile();
    if (log)
        fprintf(log, "attach %d\n", button);
    next(button);
}

void glutDestroyMenu(int id)
{
    static void (*next)(int);
    if (next == NULL)
        next = (void (*)(int))dlsym(RTLD_NEXT, "glutDestroyMenu");
    FILE *log = logfile();
    if (log)
        fprintf(log, "destroy %d\n", id);
    next(id);
}
