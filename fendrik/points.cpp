// Vertex records of the texture tester.
#include "fendrik.h"

// Converts a corner from grid units (origin top left, y down) to normalised
// device coordinates once, so both matrices can stay at identity.
void SetPoint(point3D *P, float x, float y, float z, float u, float v,
              float r, float g, float b, float a)
{
    P->x = (float)((2.0 * x) / GRIDSIZE - 1.0);
    P->y = (float)((-2.0 * y) / GRIDSIZE + 1.0);
    P->z = z;
    P->u = u;
    P->v = v;
    P->w = (float)(1.0 / (z + 0.001));
    const float colour[4] = {r, g, b, a};
    for (int i = 0; i < 4; i++)
        P->RGBA[i] = (signed char)(int)(255.0 * colour[i]);
}

