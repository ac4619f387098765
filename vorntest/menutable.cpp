// The checkable menu's table: entries, their marks, and what a choice does to
// its variable. Nothing here calls GLUT, so the table can be checked alone.
#include "vorntest.h"

#include <cstdio>
#include <cstring>

unsigned char MenusCount;

// The label is cut to fit name (and so name2), never written beyond it.
void AddMenu(const char *name, void *var, short val)
{
    if (var == nullptr || MenusCount >= MAXMENU)
        return;
    menu3D *m = &Menus[MenusCount];
    snprintf((char *)m->name, sizeof m->name, "%s", name);
    m->var = var;
    m->val = (unsigned)(int)val;   // sign-extended to 32 bits
    bool marked = *(unsigned *)var == m->val;
    // name holds at most 24 characters, so mark and label fit name2.
    strcpy((char *)m->name2, marked ? "[x] " : "[_] ");
    strcat((char *)m->name2, (const char *)m->name);
    MenusCount++;
}

void AddMenuRows(const menuRow3D *rows, int count)
{
    for (int i = 0; i < count; i++)
        AddMenu(rows[i].name, rows[i].var, rows[i].val);
}

// An id outside the table (none that GLUT hands back) changes nothing.
int ChooseMenu(int id)
{
    if (id < 0 || id >= MenusCount)
        return 0;
    menu3D *m = &Menus[id];
    unsigned *var = (unsigned *)m->var;
    int changed = *var != m->val;
    *var = m->val;
    return changed;
}
