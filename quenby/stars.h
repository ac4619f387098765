// The starfield's star table arithmetic, kept apart from the drawing so that
// the values a random draw gives and the step of one frame can be checked on
// their own.
#ifndef QUENBY_STARS_H
#define QUENBY_STARS_H

// One star; positions in window units (0 left/bottom, 1 right/top).
struct star3D {
    float x, y;
    float size;     // point diameter in pixels
    float speed;    // window widths moved to the left per frame
    float r, g, b;  // r = g, fading with depth; b is always 1
};

const int STARCOUNT = 300;
const float STARSIZE = 6.0f;     // diameter of the nearest star
const float STARSPEED = 0.0002f; // speed of a star at depth 1, roughly
const int RANDOMRANGE = 0x8000;  // random integers run from 0 to 0x7FFF

// A 15-bit random integer from the C library's rand, never seeded.
int RandomInteger(void);

// A random integer as a fraction in [0, 1), in steps of 1 / 32768.
float RandomFraction(int i);

// Fills a star from its place and its depth z, each a fraction in [0, 1).
void SetStar(star3D *S, float x, float y, float z);

// A new star from three random fractions drawn in the order x, y, depth.
void MakeStar(star3D *S);

// One frame's step: the star moves left by its speed, and one that reaches
// the left edge comes back at the right edge at a new random height.
void MoveStar(star3D *S);

#endif
