// The texture tester's vertex records, kept apart from the program so that
// the conversion from window grid units can be checked on its own.
#ifndef FENDRIK_FENDRIK_H
#define FENDRIK_FENDRIK_H

// One interleaved vertex record; only x, y, z and u, v reach the GL.
struct point3D {
    float x, y, z;          // normalised device coordinates
    float u, v;             // texture coordinates
    float w;                // reciprocal depth, 1 / (z + 0.001)
    signed char RGBA[4];    // colour, 255 x the fraction, low 8 bits kept
};
static_assert(sizeof(point3D) == 28, "the GL reads records with a 28-byte stride");

const double GRIDSIZE = 256.0;      // window units across and down

void SetPoint(point3D *P, float x, float y, float z, float u, float v,
              float r, float g, float b, float a);

#endif
