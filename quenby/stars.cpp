// The star table arithmetic of the starfield.
#include "stars.h"

#include <cstdlib>

// glibc's rand yields 31 bits (RAND_MAX is 2^31 - 1) from an additive
// feedback generator, whose low bits repeat with much shorter periods than
// its high ones; so the 15 bits kept are the top ones. Where RAND_MAX is
// already 0x7FFF the shift is 0 and rand's integers are taken as they are.
static_assert(RAND_MAX == 0x7FFFFFFF || RAND_MAX == 0x7FFF,
              "rand must give 15 or 31 bits");
const int RANDSHIFT = RAND_MAX == 0x7FFF ? 0 : 16;

int RandomInteger(void)
{
    return rand() >> RANDSHIFT;
}

// Every fraction k / 32768 with k < 32768 is exact in a float.
float RandomFraction(int i)
{
    return (float)(i / (double)RANDOMRANGE);
}

// The 0.001 keeps the nearest star (depth 0) at a speed of 0.2; colour is
// taken from the stored size, so r = g = 1 - z within float precision.
void SetStar(star3D *S, float x, float y, float z)
{
    S->x = x;
    S->y = y;
    S->speed = STARSPEED / (z + 0.001f);
    S->size = STARSIZE * (1 - z);
    S->r = S->g = S->size / STARSIZE;
    S->b = 1.0f;
}

// The three draws are separate statements: the order in which a call's
// arguments are evaluated is unspecified, and the field must not depend on it.
void MakeStar(star3D *S)
{
    float x = RandomFraction(RandomInteger());
    float y = RandomFraction(RandomInteger());
    float z = RandomFraction(RandomInteger());
    SetStar(S, x, y, z);
}

// A star that lands exactly on 0 is reset too, so x stays in (0, 1] after
// every frame.
void MoveStar(star3D *S)
{
    S->x = S->x - S->speed;
    if (!(S->x > 0)) {
        S->x = 1.0f;
        S->y = RandomFraction(RandomInteger());
    }
}
