// The pop-up menu on the right button, rebuilt with fresh marks after every
// choice that changes a variable.
#include "vorntest.h"

unsigned menusID;

const menuRow3D StateMenu[STATEMENUCOUNT] = {
    {"Texture: Off",        &TextureON,  OFF},
    {"Texture: On",         &TextureON,  ON},
    {"Blend: Off",          &BlendON,    OFF},
    {"Blend: On",           &BlendON,    ON},
    {"Lighting: Off",       &LightingON, OFF},
    {"Lighting: On",        &LightingON, ON},
    {"Fog: Off",            &FogMode,    0},
    {"Fog: GL_LINEAR",      &FogMode,    GL_LINEAR},
    {"Fog: GL_EXP",         &FogMode,    GL_EXP},
    {"Fog: GL_EXP2",        &FogMode,    GL_EXP2},
    {"TexEnv: GL_REPLACE",  &TexEnvMode, GL_REPLACE},
    {"TexEnv: GL_MODULATE", &TexEnvMode, GL_MODULATE},
    {"TexEnv: GL_DECAL",    &TexEnvMode, GL_DECAL},
    {"TexEnv: GL_BLEND",    &TexEnvMode, GL_BLEND},
    {"Shade: GL_SMOOTH",    &ShadeMode,  GL_SMOOTH},
    {"Shade: GL_FLAT",      &ShadeMode,  GL_FLAT},
};

// GLUT's current menu is the one just created, so the entries and the
// attachment go to it.
void DoGlutMenus(void)
{
    menusID = (unsigned)glutCreateMenu(MenuFunc);
    for (int n = 0; n < MenusCount; n++)
        glutAddMenuEntry((const char *)Menus[n].name2, n);
    glutAttachMenu(GLUT_RIGHT_BUTTON);
}

// freeglut takes the menu down before it calls this, and allows menus to be
// changed from here. When this returns it makes the menu that was current
// at the click current again: after a rebuild that is the destroyed one. No
// menu call of the programs depends on the current menu before creating a
// new one (the old menu is destroyed by its id, and DoGlutMenus creates
// before it adds or attaches), so that stale pointer is never followed.
void MenuFunc(int id)
{
    if (ChooseMenu(id)) {
        glutDestroyMenu((int)menusID);
        MakeMenus();
    }
}
