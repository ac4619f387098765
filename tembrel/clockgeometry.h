// Geometry of the clock: the body and the three hands, as constant tables.
//
// Vertex records are five floats, u v x y z (texture coordinates first), so
// the texture-coordinate array starts at float 0 and the vertex array at
// float 2 of the same table, both with a 20-byte stride.  Index tables hold
// three unsigned ints per triangle and are drawn as separate triangles.
//
// Frame: origin at the clock's centre and the hands' pivot, x right, y up
// (12 o'clock is +y), outer radius 1; a smaller z lies nearer the viewer.
#ifndef TEMBREL_CLOCKGEOMETRY_H
#define TEMBREL_CLOCKGEOMETRY_H

const int HandTrianglesCount = 4;
const int BodyTrianglesCount = 288;

// Hands: one rectangle each, pointing at 12 o'clock, differing only in z and
// in the 32-row band of the 128x128 hands' image that they show (hour rows
// 0-31, minute 32-63, second 64-95).  u runs along the hand from tail to tip,
// v across it from the right side to the left; the pivot falls on texel
// column 14.5, band row 14.5.
static const float HourHandPoints[20] = {
//  u          v          x           y           z
    0.0f,      0.0f,      0.086329f,  -0.115105f, 0.01f,     // 0: tail, right
    0.999999f, 0.0f,      0.086329f,  0.900996f,  0.01f,     // 1: tip, right
    0.999999f, 0.249999f, -0.10419f,  0.900996f,  0.01f,     // 2: tip, left
    0.0f,      0.249999f, -0.10419f,  -0.115105f, 0.01f,     // 3: tail, left
};

static const float MinuteHandPoints[20] = {
//  u          v          x           y           z
    0.0f,      0.249999f, 0.086329f,  -0.115105f, 0.02f,     // 0: tail, right
    0.999999f, 0.249999f, 0.086329f,  0.900996f,  0.02f,     // 1: tip, right
    0.999999f, 0.499999f, -0.10419f,  0.900996f,  0.02f,     // 2: tip, left
    0.0f,      0.499999f, -0.10419f,  -0.115105f, 0.02f,     // 3: tail, left
};

static const float SecondHandPoints[20] = {
//  u          v          x           y           z
    0.0f,      0.499999f, 0.086329f,  -0.115105f, 0.03f,     // 0: tail, right
    0.999999f, 0.499999f, 0.086329f,  0.900996f,  0.03f,     // 1: tip, right
    0.999999f, 0.749999f, -0.10419f,  0.900996f,  0.03f,     // 2: tip, left
    0.0f,      0.749999f, -0.10419f,  -0.115105f, 0.03f,     // 3: tail, left
};

// The hands are two-sided: (3,2,1), (3,1,0) are clockwise on screen and
// (0,1,2), (0,2,3) counter-clockwise, so with back faces culled one pair shows
// from either side.
static const unsigned int SecondHandIndices[12] = {3, 2, 1,  3, 1, 0,  0, 1, 2,  0, 2, 3};
static const unsigned int MinuteHandIndices[12] = {3, 2, 1,  3, 1, 0,  0, 1, 2,  0, 2, 3};
static const unsigned int HourHandIndices[12] = {3, 2, 1,  3, 1, 0,  0, 1, 2,  0, 2, 3};

// Body: a solid of revolution about z.  Its profile has six rings:
//
//   ring     0     1      2         3         4         5
//   radius   9/11  32/33  1         1         32/33     9/11
//   z        0.3   0.38   0.460001  0.539999  0.620001  0.7
//
// swept through 24 meridians, meridian m at 180 + 15*m degrees
// counter-clockwise from +x (meridian 0 at 9 o'clock, 18 at 12 o'clock).
// x = radius*cos, y = radius*sin, and the body's image is projected flat
// along z: u = (1 + x)/2, v = (1 + y)/2.  Values carry six decimals; a few
// differ from plain rounding by one unit in the last place, none by more
// than 1.2e-6 from the exact figure.  Rings 0/5, 1/4 and 2/3 of a meridian
// share u, v, x and y.
//
// Vertices are numbered in the order the index table first uses them:
// 0 and 13 are the centres of the faces at z = 0.3 and z = 0.7, meridians 0
// and 1 interleave at 2 + 2*ring and 1 + 2*ring, and meridian m >= 2 takes
// 14 + 6*(m - 2) + ring.
static const float BodyPoints[730] = {
//  u          v          x           y           z
    0.5f,      0.5f,      0.0f,       0.0f,       0.3f,      //   0: centre, z = 0.3
    0.104848f, 0.394119f, -0.790303f, -0.211761f, 0.3f,      //   1: meridian 1, ring 0
    0.090909f, 0.5f,      -0.818181f, 0.0f,       0.3f,      //   2: meridian 0, ring 0
    0.031672f, 0.374512f, -0.936655f, -0.250976f, 0.38f,     //   3: meridian 1, ring 1
    0.015152f, 0.5f,      -0.969696f, 0.0f,       0.38f,     //   4: meridian 0, ring 1
    0.017037f, 0.370591f, -0.965925f, -0.258819f, 0.460001f, //   5: meridian 1, ring 2
    0.0f,      0.5f,      -1.0f,      0.0f,       0.460001f, //   6: meridian 0, ring 2
    0.017037f, 0.370591f, -0.965925f, -0.258819f, 0.539999f, //   7: meridian 1, ring 3
    0.0f,      0.5f,      -1.0f,      0.0f,       0.539999f, //   8: meridian 0, ring 3
    0.031672f, 0.374512f, -0.936655f, -0.250976f, 0.620001f, //   9: meridian 1, ring 4
    0.015152f, 0.5f,      -0.969696f, 0.0f,       0.620001f, //  10: meridian 0, ring 4
    0.104848f, 0.394119f, -0.790303f, -0.211761f, 0.7f,      //  11: meridian 1, ring 5
    0.090909f, 0.5f,      -0.818181f, 0.0f,       0.7f,      //  12: meridian 0, ring 5
    0.5f,      0.5f,      0.0f,       0.0f,       0.7f,      //  13: centre, z = 0.7
    0.145717f, 0.295455f, -0.708567f, -0.409091f, 0.3f,      //  14: meridian 2, ring 0
    0.080109f, 0.257576f, -0.839782f, -0.484849f, 0.38f,     //  15: meridian 2, ring 1
    0.066987f, 0.25f,     -0.866025f, -0.5f,      0.460001f, //  16: meridian 2, ring 2
    0.066987f, 0.25f,     -0.866025f, -0.5f,      0.539999f, //  17: meridian 2, ring 3
    0.080109f, 0.257576f, -0.839782f, -0.484849f, 0.620001f, //  18: meridian 2, ring 4
    0.145717f, 0.295455f, -0.708567f, -0.409091f, 0.7f,      //  19: meridian 2, ring 5
    0.210729f, 0.210729f, -0.578542f, -0.578542f, 0.3f,      //  20: meridian 3, ring 0
    0.15716f,  0.15716f,  -0.685679f, -0.685679f, 0.38f,     //  21: meridian 3, ring 1
    0.146447f, 0.146447f, -0.707107f, -0.707107f, 0.460001f, //  22: meridian 3, ring 2
    0.146447f, 0.146447f, -0.707107f, -0.707107f, 0.539999f, //  23: meridian 3, ring 3
    0.15716f,  0.15716f,  -0.685679f, -0.685679f, 0.620001f, //  24: meridian 3, ring 4
    0.210729f, 0.210729f, -0.578542f, -0.578542f, 0.7f,      //  25: meridian 3, ring 5
    0.295455f, 0.145717f, -0.409091f, -0.708566f, 0.3f,      //  26: meridian 4, ring 0
    0.257576f, 0.080109f, -0.484848f, -0.839782f, 0.38f,     //  27: meridian 4, ring 1
    0.25f,     0.066987f, -0.5f,      -0.866025f, 0.460001f, //  28: meridian 4, ring 2
    0.25f,     0.066987f, -0.5f,      -0.866025f, 0.539999f, //  29: meridian 4, ring 3
    0.257576f, 0.080109f, -0.484848f, -0.839782f, 0.620001f, //  30: meridian 4, ring 4
    0.295455f, 0.145717f, -0.409091f, -0.708566f, 0.7f,      //  31: meridian 4, ring 5
    0.394119f, 0.104849f, -0.211761f, -0.790303f, 0.3f,      //  32: meridian 5, ring 0
    0.374512f, 0.031672f, -0.250976f, -0.936655f, 0.38f,     //  33: meridian 5, ring 1
    0.37059f,  0.017037f, -0.258819f, -0.965926f, 0.460001f, //  34: meridian 5, ring 2
    0.37059f,  0.017037f, -0.258819f, -0.965926f, 0.539999f, //  35: meridian 5, ring 3
    0.374512f, 0.031672f, -0.250976f, -0.936655f, 0.620001f, //  36: meridian 5, ring 4
    0.394119f, 0.104849f, -0.211761f, -0.790303f, 0.7f,      //  37: meridian 5, ring 5
    0.5f,      0.090909f, 0.0f,       -0.818183f, 0.3f,      //  38: meridian 6, ring 0
    0.5f,      0.015152f, 0.0f,       -0.969697f, 0.38f,     //  39: meridian 6, ring 1
    0.5f,      0.0f,      0.0f,       -1.0f,      0.460001f, //  40: meridian 6, ring 2
    0.5f,      0.0f,      0.0f,       -1.0f,      0.539999f, //  41: meridian 6, ring 3
    0.5f,      0.015152f, 0.0f,       -0.969697f, 0.620001f, //  42: meridian 6, ring 4
    0.5f,      0.090909f, 0.0f,       -0.818183f, 0.7f,      //  43: meridian 6, ring 5
    0.605881f, 0.104849f, 0.211761f,  -0.790303f, 0.3f,      //  44: meridian 7, ring 0
    0.625488f, 0.031672f, 0.250976f,  -0.936655f, 0.38f,     //  45: meridian 7, ring 1
    0.62941f,  0.017037f, 0.258819f,  -0.965926f, 0.460001f, //  46: meridian 7, ring 2
    0.62941f,  0.017037f, 0.258819f,  -0.965926f, 0.539999f, //  47: meridian 7, ring 3
    0.625488f, 0.031672f, 0.250976f,  -0.936655f, 0.620001f, //  48: meridian 7, ring 4
    0.605881f, 0.104849f, 0.211761f,  -0.790303f, 0.7f,      //  49: meridian 7, ring 5
    0.704545f, 0.145717f, 0.409091f,  -0.708566f, 0.3f,      //  50: meridian 8, ring 0
    0.742424f, 0.080109f, 0.484848f,  -0.839782f, 0.38f,     //  51: meridian 8, ring 1
    0.75f,     0.066987f, 0.5f,       -0.866025f, 0.460001f, //  52: meridian 8, ring 2
    0.75f,     0.066987f, 0.5f,       -0.866025f, 0.539999f, //  53: meridian 8, ring 3
    0.742424f, 0.080109f, 0.484848f,  -0.839782f, 0.620001f, //  54: meridian 8, ring 4
    0.704545f, 0.145717f, 0.409091f,  -0.708566f, 0.7f,      //  55: meridian 8, ring 5
    0.789271f, 0.210729f, 0.578542f,  -0.578542f, 0.3f,      //  56: meridian 9, ring 0
    0.84284f,  0.15716f,  0.685679f,  -0.685679f, 0.38f,     //  57: meridian 9, ring 1
    0.853553f, 0.146447f, 0.707107f,  -0.707107f, 0.460001f, //  58: meridian 9, ring 2
    0.853553f, 0.146447f, 0.707107f,  -0.707107f, 0.539999f, //  59: meridian 9, ring 3
    0.84284f,  0.15716f,  0.685679f,  -0.685679f, 0.620001f, //  60: meridian 9, ring 4
    0.789271f, 0.210729f, 0.578542f,  -0.578542f, 0.7f,      //  61: meridian 9, ring 5
    0.854283f, 0.295455f, 0.708566f,  -0.409091f, 0.3f,      //  62: meridian 10, ring 0
    0.919891f, 0.257576f, 0.839782f,  -0.484848f, 0.38f,     //  63: meridian 10, ring 1
    0.933013f, 0.25f,     0.866025f,  -0.5f,      0.460001f, //  64: meridian 10, ring 2
    0.933013f, 0.25f,     0.866025f,  -0.5f,      0.539999f, //  65: meridian 10, ring 3
    0.919891f, 0.257576f, 0.839782f,  -0.484848f, 0.620001f, //  66: meridian 10, ring 4
    0.854283f, 0.295455f, 0.708566f,  -0.409091f, 0.7f,      //  67: meridian 10, ring 5
    0.895151f, 0.394119f, 0.790303f,  -0.211761f, 0.3f,      //  68: meridian 11, ring 0
    0.968328f, 0.374512f, 0.936655f,  -0.250976f, 0.38f,     //  69: meridian 11, ring 1
    0.982963f, 0.37059f,  0.965926f,  -0.258819f, 0.460001f, //  70: meridian 11, ring 2
    0.982963f, 0.37059f,  0.965926f,  -0.258819f, 0.539999f, //  71: meridian 11, ring 3
    0.968328f, 0.374512f, 0.936655f,  -0.250976f, 0.620001f, //  72: meridian 11, ring 4
    0.895151f, 0.394119f, 0.790303f,  -0.211761f, 0.7f,      //  73: meridian 11, ring 5
    0.909091f, 0.5f,      0.818182f,  0.0f,       0.3f,      //  74: meridian 12, ring 0
    0.984848f, 0.5f,      0.969697f,  0.0f,       0.38f,     //  75: meridian 12, ring 1
    1.0f,      0.5f,      1.0f,       0.0f,       0.460001f, //  76: meridian 12, ring 2
    1.0f,      0.5f,      1.0f,       0.0f,       0.539999f, //  77: meridian 12, ring 3
    0.984848f, 0.5f,      0.969697f,  0.0f,       0.620001f, //  78: meridian 12, ring 4
    0.909091f, 0.5f,      0.818182f,  0.0f,       0.7f,      //  79: meridian 12, ring 5
    0.895151f, 0.605881f, 0.790303f,  0.211761f,  0.3f,      //  80: meridian 13, ring 0
    0.968328f, 0.625488f, 0.936655f,  0.250976f,  0.38f,     //  81: meridian 13, ring 1
    0.982963f, 0.62941f,  0.965926f,  0.258819f,  0.460001f, //  82: meridian 13, ring 2
    0.982963f, 0.62941f,  0.965926f,  0.258819f,  0.539999f, //  83: meridian 13, ring 3
    0.968328f, 0.625488f, 0.936655f,  0.250976f,  0.620001f, //  84: meridian 13, ring 4
    0.895151f, 0.605881f, 0.790303f,  0.211761f,  0.7f,      //  85: meridian 13, ring 5
    0.854283f, 0.704545f, 0.708566f,  0.409091f,  0.3f,      //  86: meridian 14, ring 0
    0.919891f, 0.742424f, 0.839782f,  0.484848f,  0.38f,     //  87: meridian 14, ring 1
    0.933013f, 0.75f,     0.866025f,  0.5f,       0.460001f, //  88: meridian 14, ring 2
    0.933013f, 0.75f,     0.866025f,  0.5f,       0.539999f, //  89: meridian 14, ring 3
    0.919891f, 0.742424f, 0.839782f,  0.484848f,  0.620001f, //  90: meridian 14, ring 4
    0.854283f, 0.704545f, 0.708566f,  0.409091f,  0.7f,      //  91: meridian 14, ring 5
    0.789271f, 0.789271f, 0.578542f,  0.578542f,  0.3f,      //  92: meridian 15, ring 0
    0.84284f,  0.84284f,  0.685679f,  0.685679f,  0.38f,     //  93: meridian 15, ring 1
    0.853553f, 0.853553f, 0.707107f,  0.707107f,  0.460001f, //  94: meridian 15, ring 2
    0.853553f, 0.853553f, 0.707107f,  0.707107f,  0.539999f, //  95: meridian 15, ring 3
    0.84284f,  0.84284f,  0.685679f,  0.685679f,  0.620001f, //  96: meridian 15, ring 4
    0.789271f, 0.789271f, 0.578542f,  0.578542f,  0.7f,      //  97: meridian 15, ring 5
    0.704545f, 0.854283f, 0.409091f,  0.708566f,  0.3f,      //  98: meridian 16, ring 0
    0.742424f, 0.919891f, 0.484848f,  0.839782f,  0.38f,     //  99: meridian 16, ring 1
    0.75f,     0.933013f, 0.5f,       0.866025f,  0.460001f, // 100: meridian 16, ring 2
    0.75f,     0.933013f, 0.5f,       0.866025f,  0.539999f, // 101: meridian 16, ring 3
    0.742424f, 0.919891f, 0.484848f,  0.839782f,  0.620001f, // 102: meridian 16, ring 4
    0.704545f, 0.854283f, 0.409091f,  0.708566f,  0.7f,      // 103: meridian 16, ring 5
    0.605881f, 0.895151f, 0.211761f,  0.790303f,  0.3f,      // 104: meridian 17, ring 0
    0.625488f, 0.968328f, 0.250976f,  0.936655f,  0.38f,     // 105: meridian 17, ring 1
    0.62941f,  0.982963f, 0.258819f,  0.965926f,  0.460001f, // 106: meridian 17, ring 2
    0.62941f,  0.982963f, 0.258819f,  0.965926f,  0.539999f, // 107: meridian 17, ring 3
    0.625488f, 0.968328f, 0.250976f,  0.936655f,  0.620001f, // 108: meridian 17, ring 4
    0.605881f, 0.895151f, 0.211761f,  0.790303f,  0.7f,      // 109: meridian 17, ring 5
    0.5f,      0.909091f, 0.0f,       0.818183f,  0.3f,      // 110: meridian 18, ring 0
    0.5f,      0.984848f, 0.0f,       0.969697f,  0.38f,     // 111: meridian 18, ring 1
    0.5f,      1.0f,      0.0f,       1.0f,       0.460001f, // 112: meridian 18, ring 2
    0.5f,      1.0f,      0.0f,       1.0f,       0.539999f, // 113: meridian 18, ring 3
    0.5f,      0.984848f, 0.0f,       0.969697f,  0.620001f, // 114: meridian 18, ring 4
    0.5f,      0.909091f, 0.0f,       0.818183f,  0.7f,      // 115: meridian 18, ring 5
    0.394119f, 0.895151f, -0.211761f, 0.790303f,  0.3f,      // 116: meridian 19, ring 0
    0.374512f, 0.968328f, -0.250976f, 0.936655f,  0.38f,     // 117: meridian 19, ring 1
    0.37059f,  0.982963f, -0.258819f, 0.965926f,  0.460001f, // 118: meridian 19, ring 2
    0.37059f,  0.982963f, -0.258819f, 0.965926f,  0.539999f, // 119: meridian 19, ring 3
    0.374512f, 0.968328f, -0.250976f, 0.936655f,  0.620001f, // 120: meridian 19, ring 4
    0.394119f, 0.895151f, -0.211761f, 0.790303f,  0.7f,      // 121: meridian 19, ring 5
    0.295455f, 0.854283f, -0.409091f, 0.708566f,  0.3f,      // 122: meridian 20, ring 0
    0.257576f, 0.919891f, -0.484848f, 0.839782f,  0.38f,     // 123: meridian 20, ring 1
    0.25f,     0.933013f, -0.5f,      0.866025f,  0.460001f, // 124: meridian 20, ring 2
    0.25f,     0.933013f, -0.5f,      0.866025f,  0.539999f, // 125: meridian 20, ring 3
    0.257576f, 0.919891f, -0.484848f, 0.839782f,  0.620001f, // 126: meridian 20, ring 4
    0.295455f, 0.854283f, -0.409091f, 0.708566f,  0.7f,      // 127: meridian 20, ring 5
    0.210729f, 0.789271f, -0.578542f, 0.578542f,  0.3f,      // 128: meridian 21, ring 0
    0.15716f,  0.84284f,  -0.685679f, 0.685679f,  0.38f,     // 129: meridian 21, ring 1
    0.146447f, 0.853553f, -0.707107f, 0.707107f,  0.460001f, // 130: meridian 21, ring 2
    0.146447f, 0.853553f, -0.707107f, 0.707107f,  0.539999f, // 131: meridian 21, ring 3
    0.15716f,  0.84284f,  -0.685679f, 0.685679f,  0.620001f, // 132: meridian 21, ring 4
    0.210729f, 0.789271f, -0.578542f, 0.578542f,  0.7f,      // 133: meridian 21, ring 5
    0.145717f, 0.704545f, -0.708566f, 0.409091f,  0.3f,      // 134: meridian 22, ring 0
    0.080109f, 0.742424f, -0.839782f, 0.484848f,  0.38f,     // 135: meridian 22, ring 1
    0.066987f, 0.75f,     -0.866025f, 0.5f,       0.460001f, // 136: meridian 22, ring 2
    0.066987f, 0.75f,     -0.866025f, 0.5f,       0.539999f, // 137: meridian 22, ring 3
    0.080109f, 0.742424f, -0.839782f, 0.484848f,  0.620001f, // 138: meridian 22, ring 4
    0.145717f, 0.704545f, -0.708566f, 0.409091f,  0.7f,      // 139: meridian 22, ring 5
    0.104849f, 0.605881f, -0.790303f, 0.211761f,  0.3f,      // 140: meridian 23, ring 0
    0.031672f, 0.625488f, -0.936655f, 0.250976f,  0.38f,     // 141: meridian 23, ring 1
    0.017037f, 0.62941f,  -0.965926f, 0.258819f,  0.460001f, // 142: meridian 23, ring 2
    0.017037f, 0.62941f,  -0.965926f, 0.258819f,  0.539999f, // 143: meridian 23, ring 3
    0.031672f, 0.625488f, -0.936655f, 0.250976f,  0.620001f, // 144: meridian 23, ring 4
    0.104849f, 0.605881f, -0.790303f, 0.211761f,  0.7f,      // 145: meridian 23, ring 5
};

// Segment s joins meridian P = s to N = (s + 1) mod 24 with 12 triangles:
// (c0, N0, P0) on the face at z = 0.3, then for ring r = 0..4 the rim pair
// (Pr, Nr, Nr+1), (Pr, Nr+1, Pr+1), then (P5, N5, c1) on the face at z = 0.7.
// All are counter-clockwise seen from outside, so seen along z the first five
// of a segment turn clockwise, the pair between rings 2 and 3 has no area,
// and the last five turn counter-clockwise.
static const unsigned int BodyIndices[864] = {
    // segment 0: meridian 0 to meridian 1
      0,   1,   2,    2,   1,   3,    2,   3,   4,    4,   3,   5,    4,   5,   6,    6,   5,   7,
      6,   7,   8,    8,   7,   9,    8,   9,  10,   10,   9,  11,   10,  11,  12,   12,  11,  13,
    // segment 1: meridian 1 to meridian 2
      0,  14,   1,    1,  14,  15,    1,  15,   3,    3,  15,  16,    3,  16,   5,    5,  16,  17,
      5,  17,   7,    7,  17,  18,    7,  18,   9,    9,  18,  19,    9,  19,  11,   11,  19,  13,
    // segment 2: meridian 2 to meridian 3
      0,  20,  14,   14,  20,  21,   14,  21,  15,   15,  21,  22,   15,  22,  16,   16,  22,  23,
     16,  23,  17,   17,  23,  24,   17,  24,  18,   18,  24,  25,   18,  25,  19,   19,  25,  13,
    // segment 3: meridian 3 to meridian 4
      0,  26,  20,   20,  26,  27,   20,  27,  21,   21,  27,  28,   21,  28,  22,   22,  28,  29,
     22,  29,  23,   23,  29,  30,   23,  30,  24,   24,  30,  31,   24,  31,  25,   25,  31,  13,
    // segment 4: meridian 4 to meridian 5
      0,  32,  26,   26,  32,  33,   26,  33,  27,   27,  33,  34,   27,  34,  28,   28,  34,  35,
     28,  35,  29,   29,  35,  36,   29,  36,  30,   30,  36,  37,   30,  37,  31,   31,  37,  13,
    // segment 5: meridian 5 to meridian 6
      0,  38,  32,   32,  38,  39,   32,  39,  33,   33,  39,  40,   33,  40,  34,   34,  40,  41,
     34,  41,  35,   35,  41,  42,   35,  42,  36,   36,  42,  43,   36,  43,  37,   37,  43,  13,
    // segment 6: meridian 6 to meridian 7
      0,  44,  38,   38,  44,  45,   38,  45,  39,   39,  45,  46,   39,  46,  40,   40,  46,  47,
     40,  47,  41,   41,  47,  48,   41,  48,  42,   42,  48,  49,   42,  49,  43,   43,  49,  13,
    // segment 7: meridian 7 to meridian 8
      0,  50,  44,   44,  50,  51,   44,  51,  45,   45,  51,  52,   45,  52,  46,   46,  52,  53,
     46,  53,  47,   47,  53,  54,   47,  54,  48,   48,  54,  55,   48,  55,  49,   49,  55,  13,
    // segment 8: meridian 8 to meridian 9
      0,  56,  50,   50,  56,  57,   50,  57,  51,   51,  57,  58,   51,  58,  52,   52,  58,  59,
     52,  59,  53,   53,  59,  60,   53,  60,  54,   54,  60,  61,   54,  61,  55,   55,  61,  13,
    // segment 9: meridian 9 to meridian 10
      0,  62,  56,   56,  62,  63,   56,  63,  57,   57,  63,  64,   57,  64,  58,   58,  64,  65,
     58,  65,  59,   59,  65,  66,   59,  66,  60,   60,  66,  67,   60,  67,  61,   61,  67,  13,
    // segment 10: meridian 10 to meridian 11
      0,  68,  62,   62,  68,  69,   62,  69,  63,   63,  69,  70,   63,  70,  64,   64,  70,  71,
     64,  71,  65,   65,  71,  72,   65,  72,  66,   66,  72,  73,   66,  73,  67,   67,  73,  13,
    // segment 11: meridian 11 to meridian 12
      0,  74,  68,   68,  74,  75,   68,  75,  69,   69,  75,  76,   69,  76,  70,   70,  76,  77,
     70,  77,  71,   71,  77,  78,   71,  78,  72,   72,  78,  79,   72,  79,  73,   73,  79,  13,
    // segment 12: meridian 12 to meridian 13
      0,  80,  74,   74,  80,  81,   74,  81,  75,   75,  81,  82,   75,  82,  76,   76,  82,  83,
     76,  83,  77,   77,  83,  84,   77,  84,  78,   78,  84,  85,   78,  85,  79,   79,  85,  13,
    // segment 13: meridian 13 to meridian 14
      0,  86,  80,   80,  86,  87,   80,  87,  81,   81,  87,  88,   81,  88,  82,   82,  88,  89,
     82,  89,  83,   83,  89,  90,   83,  90,  84,   84,  90,  91,   84,  91,  85,   85,  91,  13,
    // segment 14: meridian 14 to meridian 15
      0,  92,  86,   86,  92,  93,   86,  93,  87,   87,  93,  94,   87,  94,  88,   88,  94,  95,
     88,  95,  89,   89,  95,  96,   89,  96,  90,   90,  96,  97,   90,  97,  91,   91,  97,  13,
    // segment 15: meridian 15 to meridian 16
      0,  98,  92,   92,  98,  99,   92,  99,  93,   93,  99, 100,   93, 100,  94,   94, 100, 101,
     94, 101,  95,   95, 101, 102,   95, 102,  96,   96, 102, 103,   96, 103,  97,   97, 103,  13,
    // segment 16: meridian 16 to meridian 17
      0, 104,  98,   98, 104, 105,   98, 105,  99,   99, 105, 106,   99, 106, 100,  100, 106, 107,
    100, 107, 101,  101, 107, 108,  101, 108, 102,  102, 108, 109,  102, 109, 103,  103, 109,  13,
    // segment 17: meridian 17 to meridian 18
      0, 110, 104,  104, 110, 111,  104, 111, 105,  105, 111, 112,  105, 112, 106,  106, 112, 113,
    106, 113, 107,  107, 113, 114,  107, 114, 108,  108, 114, 115,  108, 115, 109,  109, 115,  13,
    // segment 18: meridian 18 to meridian 19
      0, 116, 110,  110, 116, 117,  110, 117, 111,  111, 117, 118,  111, 118, 112,  112, 118, 119,
    112, 119, 113,  113, 119, 120,  113, 120, 114,  114, 120, 121,  114, 121, 115,  115, 121,  13,
    // segment 19: meridian 19 to meridian 20
      0, 122, 116,  116, 122, 123,  116, 123, 117,  117, 123, 124,  117, 124, 118,  118, 124, 125,
    118, 125, 119,  119, 125, 126,  119, 126, 120,  120, 126, 127,  120, 127, 121,  121, 127,  13,
    // segment 20: meridian 20 to meridian 21
      0, 128, 122,  122, 128, 129,  122, 129, 123,  123, 129, 130,  123, 130, 124,  124, 130, 131,
    124, 131, 125,  125, 131, 132,  125, 132, 126,  126, 132, 133,  126, 133, 127,  127, 133,  13,
    // segment 21: meridian 21 to meridian 22
      0, 134, 128,  128, 134, 135,  128, 135, 129,  129, 135, 136,  129, 136, 130,  130, 136, 137,
    130, 137, 131,  131, 137, 138,  131, 138, 132,  132, 138, 139,  132, 139, 133,  133, 139,  13,
    // segment 22: meridian 22 to meridian 23
      0, 140, 134,  134, 140, 141,  134, 141, 135,  135, 141, 142,  135, 142, 136,  136, 142, 143,
    136, 143, 137,  137, 143, 144,  137, 144, 138,  138, 144, 145,  138, 145, 139,  139, 145,  13,
    // segment 23: meridian 23 to meridian 0
      0,   2, 140,  140,   2,   4,  140,   4, 141,  141,   4,   6,  141,   6, 142,  142,   6,   8,
    142,   8, 143,  143,   8,  10,  143,  10, 144,  144,  10,  12,  144,  12, 145,  145,  12,  13,
};

#endif
