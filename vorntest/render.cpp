// The render state both programs send on every frame, lighting to fog,
// straight from the state variables: nothing is remembered between frames.
#include "vorntest.h"
#include "shell.h"

static const GLfloat ambient[4] = {1.0f, 200.0f / 255.0f, 0.0f, 1.0f};
static const GLfloat FogColor[4] = {128.0f / 255.0f, 173.0f / 255.0f, 192.0f / 255.0f, 1.0f};

static void Switch(GLenum cap, bool on)
{
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

void ChangeRenderState(void)
{
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    Switch(GL_LIGHTING, LightingON == ON);
    Switch(GL_TEXTURE_2D, TextureON == ON);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, (GLint)TexEnvMode);
    glShadeModel(ShadeMode);
    Switch(GL_BLEND, BlendON == ON);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // FogMode is also the fog switch: 0 sends no mode and disables fog.
    if (FogMode != 0)
        glFogi(GL_FOG_MODE, (GLint)FogMode);
    glFogfv(GL_FOG_COLOR, FogColor);
    glFogf(GL_FOG_START, 0.25f);
    glFogf(GL_FOG_END, 0.75f);
    glFogf(GL_FOG_DENSITY, 0.95f);
    Switch(GL_FOG, FogMode != 0);
}

// The quad's colours and triangles, the same in both programs; only the
// texture coordinates of the vertex records differ.
static const GLubyte RGBA[16] = {
    255,   0,   0, 255,          // opaque red
      0, 255,   0, 255,          // opaque green
     26,  26,  26,   0,          // dark grey, transparent
      0,   0, 255,   0,          // blue, transparent
};
// Clockwise seen from +z, so with counter-clockwise front faces the quad's
// front side faces -z.
static const GLuint indices[6] = {0, 1, 2, 0, 2, 3};
static const GLsizei POINTSTRIDE = 5 * sizeof(float);

void DrawQuad(const float *points, GLuint texture)
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, POINTSTRIDE, &points[0]);
    glVertexPointer(3, GL_FLOAT, POINTSTRIDE, &points[2]);
    glColorPointer(4, GL_UNSIGNED_BYTE, 4, RGBA);
    glBindTexture(GL_TEXTURE_2D, texture);
    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, indices);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
}

// The fixed state set once at start-up; the programs differ only in the
// perspective correction hint.
void SetFixedState(GLenum hint)
{
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glClearColor(0.1f, 0.1f, 0.5f, 1.0f);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, hint);
}

void RegisterCallbacks(void (*display)(void), void (*motion)(int x, int y))
{
    glutDisplayFunc(display);
    glutReshapeFunc(ReshapeFunc);
    glutVisibilityFunc(VisibilityFunc);
    glutKeyboardFunc(KeyboardFunc);
    glutMouseFunc(MouseFunc);
    glutMotionFunc(motion);
}
