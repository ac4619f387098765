// The render-state test: what vorntest5 and vorntest share.
//
// The GL-free pieces (menu table, readout, drag arithmetic, texture file
// names, the generated pattern) live in the library vorntestcore; the menu,
// render-state and loader code that calls GLUT and the GL lives beside them.
// Each main module defines its own variable set and menu size under the
// names declared here.
#ifndef VORNTEST_VORNTEST_H
#define VORNTEST_VORNTEST_H

#include <GL/glut.h>

const unsigned ON = 1;
const unsigned OFF = 0;

// --- State variables -----------------------------------------------------
// Same start values in both programs (vorntestcore).
extern unsigned BlendON, LightingON, FogMode, TexEnvMode, ShadeMode;
extern int MouseDrag;            // 1 while the left button is held
extern float fx;                 // pointer x while dragging, -1 left .. 1 right

// Defined by each main module (vorntest starts untextured).
extern unsigned TextureON;

// vorntest5 only.
extern unsigned PerspectiveON, Persp, SizeON;
extern float aspect, fy;

// --- Checkable menu ----------------------------------------------------------
const int MENUNAMESIZE = 25;     // label without mark, at most 24 characters
const int MENUNAME2SIZE = 30;    // "[x] " or "[_] " and the label

struct menu3D {
    unsigned char name[MENUNAMESIZE];
    unsigned char name2[MENUNAME2SIZE];
    unsigned id;                 // unused: an entry is known by its index
    void *var;                   // an unsigned 32-bit state variable
    unsigned val;
};

// One row of a program's menu table: what AddMenu gets.
struct menuRow3D {
    const char *name;
    unsigned *var;
    short val;
};

extern menu3D Menus[];           // defined by each program, MAXMENU entries
extern const int MAXMENU;
extern unsigned char MenusCount;
extern unsigned menusID;

void AddMenu(const char *name, void *var, short val);
void AddMenuRows(const menuRow3D *rows, int count);
// Stores the value of entry id in its variable; 1 if that changed it.
int ChooseMenu(int id);

// The 16 rows both programs share (texture to shading), in menu order.
const int STATEMENUCOUNT = 16;
extern const menuRow3D StateMenu[STATEMENUCOUNT];

void MakeMenus(void);            // each program: its rows, then DoGlutMenus
void DoGlutMenus(void);
void MenuFunc(int id);

// --- Render state and projection ------------------------------------------
void ChangeRenderState(void);    // lighting to fog, the part both programs send
void DrawQuad(const float *points, GLuint texture);   // 4 records of u, v, x, y, z
void SetFixedState(GLenum hint);
// The callbacks of both programs, in the start-up order; the display and
// motion callbacks are each program's own.
void RegisterCallbacks(void (*display)(void), void (*motion)(int x, int y));
void mygluPerspective(float fovy, float aspect, float zNear, float zFar);
void ReshapeFunc(int width, int height);
void ChangeView(float yRot, float xyzSize);

// Width over height, or previous when the window has no area (a zero
// height would give an infinite or undefined ratio, a zero width a frustum
// of no width).
float WindowAspect(int width, int height, float previous);

// --- Mouse and readout -------------------------------------------------------
void MouseFunc(int button, int state, int x, int y);
// A pointer coordinate mapped to [-1, 1] across extent pixels; last when the
// window has no extent, so no infinite or undefined value gets through.
float DragCoord(int pos, int extent, float last);
float DragAngle(float fx);        // 360 - 180 fx, before the wrap
float WrapAngle(float angle);     // into [0, 360) for any DragAngle result

const int PFSIZE = 32;
// The readout number: six truncated decimals and a space, as pf prints it.
// Returns the length written into out (PFSIZE bytes).
int pfText(char *out, float x);
void pf(float x);
void PrintReadout(float xyzSize, float yRot);

// --- Textures ----------------------------------------------------------------
const int FULLNAMESIZE = 256;    // a path of at most 255 characters
const int TEXNAMESIZE = 40;      // the texture's own name, at most 39

// What the vorntest5 loader reads from a file name such as
// "Texture2_256X256X24.RAW".
struct texfile3D {
    char fullfilename[FULLNAMESIZE];
    char texname[TEXNAMESIZE];
    int large, high, bits;       // width, height, depth as parsed
    int textureSize;             // bytes to read, 0 if the sizes are refused
};

// Splits the base name of filename in place (X, _ to blanks, . ends it) and
// parses it; fills f, never writing beyond its fields.
void ParseTextureName(char *filename, texfile3D *f);

void CreateTex32(char *buffer, unsigned size);
const unsigned MAXPATTERNSIZE = 65535;   // the pattern counts in 16 bits

// vorntest5: slot t from the file named in filename (rewritten in place).
void LoadTexture(char *filename, int t);

#endif
