// The render-state variables whose start values both programs share.
#include "vorntest.h"

unsigned BlendON = OFF;
unsigned LightingON = OFF;
unsigned FogMode = 0;            // 0: no fog, else the GL fog mode
unsigned TexEnvMode = GL_REPLACE;
unsigned ShadeMode = GL_SMOOTH;
