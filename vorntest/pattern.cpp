// The generated test pattern of vorntest: opaque grey ramps in the left half
// of each row, white with the same ramp as opacity in the right half.
#include "vorntest.h"

void CreateTex32(char *buffer, unsigned size)
{
    // The row and column counters are 16 bits wide; a larger size could
    // never end the loops.
    if (size > MAXPATTERNSIZE)
        return;
    unsigned short lim = (unsigned short)(size / 2);
    unsigned char *p = (unsigned char *)buffer;
    for (unsigned short x = 0; x < size; x++) {
        for (unsigned short y = 0; y < size; y++) {
            unsigned char v = (unsigned char)(((unsigned)x * y / 8) & 0xFF);
            if (y < lim) {
                p[0] = p[1] = p[2] = v;
                p[3] = 255;
            } else {
                p[0] = p[1] = p[2] = 255;
                p[3] = v;
            }
            p += 4;
        }
    }
}
