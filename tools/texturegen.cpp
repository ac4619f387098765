// The suite's texture pictures. Shapes are described in clock units and
// rasterised with anti-aliased edges by counting sub-samples per texel; the
// dial's numerals come from a small stroke font drawn with thick lines.
#include "texturegen.h"

#include <cmath>
#include <cstring>

// ---------------------------------------------------------------------------
// Canvas and shape rasterising

// A texel grid and the units it shows. A continuous texel position
// (column + fraction, row + fraction) stands for the point
// ((column + fraction - originCol) * dx, (row + fraction - originRow) * dy).
// Working from the origin outwards keeps positions that mirror each other
// about the origin exact negatives, so symmetric shapes give symmetric texels.
struct canvas3D {
    unsigned char *pix;
    int width, height;          // texels
    int depth;                  // bytes per texel: 3 (RGB) or 4 (RGBA)
    float originCol, originRow; // texel position of the point (0, 0)
    float dx, dy;               // units per column, per row
};

struct box3D {
    float x0, y0, x1, y1;       // units, x0 <= x1 and y0 <= y1
};

typedef bool (*insidefunc)(const void *shape, float x, float y);

const int SUBSAMPLES = 8;       // per side of a texel: 65 coverage levels

static float Coverage(const canvas3D *cv, int row, int col, insidefunc inside, const void *shape)
{
    int hits = 0;
    for (int i = 0; i < SUBSAMPLES; i++) {
        float y = (row + (i + 0.5f) / SUBSAMPLES - cv->originRow) * cv->dy;
        for (int j = 0; j < SUBSAMPLES; j++) {
            float x = (col + (j + 0.5f) / SUBSAMPLES - cv->originCol) * cv->dx;
            if (inside(shape, x, y))
                hits++;
        }
    }
    return (float)hits / (SUBSAMPLES * SUBSAMPLES);
}

static int ClampInt(int v, int lo, int hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

// Blends colour over the texels that the shape covers, within the box.
static void Paint(const canvas3D *cv, const box3D *box, insidefunc inside, const void *shape,
                  const unsigned char colour[3])
{
    int c0 = ClampInt((int)floorf(box->x0 / cv->dx + cv->originCol), 0, cv->width - 1);
    int c1 = ClampInt((int)floorf(box->x1 / cv->dx + cv->originCol), 0, cv->width - 1);
    int r0 = ClampInt((int)floorf(box->y0 / cv->dy + cv->originRow), 0, cv->height - 1);
    int r1 = ClampInt((int)floorf(box->y1 / cv->dy + cv->originRow), 0, cv->height - 1);
    for (int r = r0; r <= r1; r++)
        for (int c = c0; c <= c1; c++) {
            float a = Coverage(cv, r, c, inside, shape);
            if (a <= 0)
                continue;
            unsigned char *p = cv->pix + ((size_t)r * cv->width + c) * cv->depth;
            for (int k = 0; k < 3; k++)
                p[k] = (unsigned char)lrintf(p[k] + (colour[k] - p[k]) * a);
        }
}

static void SetTexel(unsigned char *pix, int width, int row, int col, const unsigned char rgb[3])
{
    memcpy(pix + ((size_t)row * width + col) * 3, rgb, 3);
}

static void FillRect(unsigned char *pix, int width, int row0, int col0, int rows, int cols,
                     const unsigned char rgb[3])
{
    for (int r = row0; r < row0 + rows; r++)
        for (int c = col0; c < col0 + cols; c++)
            SetTexel(pix, width, r, c, rgb);
}

// ---------------------------------------------------------------------------
// Shapes

// An annulus about the origin; inner 0 makes a disc.
struct ring3D {
    float inner, outer;
};

static bool InRing(const void *shape, float x, float y)
{
    const ring3D *ring = (const ring3D *)shape;
    float d2 = x * x + y * y;
    return d2 >= ring->inner * ring->inner && d2 < ring->outer * ring->outer;
}

static box3D RingBox(const ring3D *ring)
{
    return box3D{-ring->outer, -ring->outer, ring->outer, ring->outer};
}

// A bar along the ray from the origin in the direction (dirX, dirY).
struct tick3D {
    float dirX, dirY;
    float inner, outer;         // distance from the origin of its two ends
    float halfWidth;
};

static bool InTick(const void *shape, float x, float y)
{
    const tick3D *t = (const tick3D *)shape;
    float along = x * t->dirX + y * t->dirY;
    float across = x * t->dirY - y * t->dirX;
    return along >= t->inner && along <= t->outer && fabsf(across) <= t->halfWidth;
}

static box3D TickBox(const tick3D *t)
{
    float m = t->halfWidth;
    float ax = t->inner * t->dirX, ay = t->inner * t->dirY;
    float bx = t->outer * t->dirX, by = t->outer * t->dirY;
    return box3D{fminf(ax, bx) - m, fminf(ay, by) - m, fmaxf(ax, bx) + m, fmaxf(ay, by) + m};
}

// ---------------------------------------------------------------------------
// Stroke font for the digits

// Glyphs are drawn in a cell 10 units tall with y up, baseline at 0, as lines
// and elliptic arcs that a round pen of the text's width follows.
enum { LINE, ARC };

struct stroke3D {
    char glyph;
    int kind;
    float p[6];  // LINE: x0, y0, x1, y1; ARC: cx, cy, rx, ry, from, to (degrees)
};

static const stroke3D strokes[] = {
//   glyph  kind   x0/cx  y0/cy  x1/rx  y1/ry  from    to
    {'0',   ARC,  {3.0f,  5.0f,  2.5f,  4.7f,    0,   360}},
    {'1',   LINE, {1.6f,  8.2f,  3.4f, 10.0f}},
    {'1',   LINE, {3.4f, 10.0f,  3.4f,  0.0f}},
    {'2',   ARC,  {3.0f,  7.4f,  2.5f,  2.6f,  160,   -35}},
    {'2',   LINE, {5.05f, 5.91f, 0.4f,  0.0f}},
    {'2',   LINE, {0.4f,  0.0f,  5.6f,  0.0f}},
    {'3',   ARC,  {3.0f,  7.6f,  2.3f,  2.4f,  150,   -90}},
    {'3',   ARC,  {3.0f,  2.6f,  2.6f,  2.6f,   90,  -150}},
    {'3',   LINE, {1.9f,  5.2f,  3.0f,  5.2f}},
    {'4',   LINE, {4.3f,  0.0f,  4.3f, 10.0f}},
    {'4',   LINE, {4.3f, 10.0f,  0.3f,  3.0f}},
    {'4',   LINE, {0.3f,  3.0f,  5.7f,  3.0f}},
    {'5',   LINE, {5.4f, 10.0f,  1.3f, 10.0f}},
    {'5',   LINE, {1.3f, 10.0f,  1.1f,  5.5f}},
    {'5',   ARC,  {2.9f,  3.1f,  2.7f,  3.1f,  130,  -145}},
    {'6',   ARC,  {3.2f,  5.0f,  2.8f,  5.0f,   65,   180}},
    {'6',   ARC,  {3.0f,  3.0f,  2.6f,  3.0f,    0,   360}},
    {'6',   LINE, {0.4f,  5.0f,  0.4f,  3.0f}},
    {'7',   LINE, {0.4f, 10.0f,  5.6f, 10.0f}},
    {'7',   LINE, {5.6f, 10.0f,  2.2f,  0.0f}},
    {'8',   ARC,  {3.0f,  7.65f, 2.2f,  2.35f,   0,   360}},
    {'8',   ARC,  {3.0f,  2.65f, 2.6f,  2.65f,   0,   360}},
    {'9',   ARC,  {2.8f,  5.0f,  2.8f,  5.0f,    0,  -115}},
    {'9',   ARC,  {3.0f,  7.0f,  2.6f,  3.0f,    0,   360}},
    {'9',   LINE, {5.6f,  7.0f,  5.6f,  5.0f}},
};
const int strokesCount = sizeof strokes / sizeof strokes[0];

const float GLYPHHEIGHT = 10.0f;
const float ARCSTEP = 12.0f;    // degrees per straight piece of an arc
const int MAXSEGMENTS = 80;

// A digit flattened to straight segments, with the extent of its centre lines.
struct glyph3D {
    int count;
    float seg[MAXSEGMENTS][4];  // x0, y0, x1, y1
    float left, right;
};

static glyph3D font[10];

static void AddSegment(glyph3D *g, float x0, float y0, float x1, float y1)
{
    if (g->count == MAXSEGMENTS)
        return;
    float *s = g->seg[g->count++];
    s[0] = x0, s[1] = y0, s[2] = x1, s[3] = y1;
    g->left = fminf(g->left, fminf(x0, x1));
    g->right = fmaxf(g->right, fmaxf(x0, x1));
}

static void AddArc(glyph3D *g, const float *p)
{
    const float rad = 3.14159265f / 180;
    int n = (int)ceilf(fabsf(p[5] - p[4]) / ARCSTEP);
    float px = p[0] + p[2] * cosf(p[4] * rad), py = p[1] + p[3] * sinf(p[4] * rad);
    for (int i = 1; i <= n; i++) {
        float a = (p[4] + (p[5] - p[4]) * i / n) * rad;
        float x = p[0] + p[2] * cosf(a), y = p[1] + p[3] * sinf(a);
        AddSegment(g, px, py, x, y);
        px = x, py = y;
    }
}

static void BuildFont(void)
{
    for (int d = 0; d < 10; d++) {
        font[d].count = 0;
        font[d].left = 1e9f;
        font[d].right = -1e9f;
    }
    for (int i = 0; i < strokesCount; i++) {
        glyph3D *g = &font[strokes[i].glyph - '0'];
        if (strokes[i].kind == LINE)
            AddSegment(g, strokes[i].p[0], strokes[i].p[1], strokes[i].p[2], strokes[i].p[3]);
        else
            AddArc(g, strokes[i].p);
    }
}

static float SegmentDistance2(const float *s, float x, float y)
{
    float vx = s[2] - s[0], vy = s[3] - s[1];
    float wx = x - s[0], wy = y - s[1];
    float len2 = vx * vx + vy * vy;
    float t = len2 > 0 ? (wx * vx + wy * vy) / len2 : 0;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    float ex = wx - t * vx, ey = wy - t * vy;
    return ex * ex + ey * ey;
}

// Up to two digits set side by side, in glyph units scaled to clock units.
struct text3D {
    int count;
    const glyph3D *glyph[2];
    float shift[2];             // glyph units from the text's centre line
    float x, y;                 // clock units of the glyph-unit origin
    float scale;                // clock units per glyph unit
    float halfWidth;            // pen radius, glyph units
    float width;                // between the outer centre lines, glyph units
};

static bool InText(const void *shape, float x, float y)
{
    const text3D *t = (const text3D *)shape;
    float u = (x - t->x) / t->scale, v = (y - t->y) / t->scale;
    float r2 = t->halfWidth * t->halfWidth;
    for (int i = 0; i < t->count; i++)
        for (int k = 0; k < t->glyph[i]->count; k++)
            if (SegmentDistance2(t->glyph[i]->seg[k], u - t->shift[i], v) < r2)
                return true;
    return false;
}

// Centres the numeral n (1 to 99) on (cx, cy), glyphs height units tall.
static text3D SetNumeral(int n, float cx, float cy, float height, float pen, float gap)
{
    text3D t;
    t.count = n >= 10 ? 2 : 1;
    t.glyph[0] = &font[n >= 10 ? n / 10 : n];
    t.glyph[1] = &font[n % 10];
    t.scale = height / GLYPHHEIGHT;
    t.halfWidth = pen / 2 / t.scale;
    t.width = 0;
    for (int i = 0; i < t.count; i++)
        t.width += t.glyph[i]->right - t.glyph[i]->left;
    t.width += gap * (t.count - 1);
    float cursor = -t.width / 2;
    for (int i = 0; i < t.count; i++) {
        t.shift[i] = cursor - t.glyph[i]->left;
        cursor += t.glyph[i]->right - t.glyph[i]->left + gap;
    }
    t.x = cx;
    t.y = cy - t.scale * GLYPHHEIGHT / 2;
    return t;
}

static box3D TextBox(const text3D *t)
{
    float m = t->halfWidth * t->scale;
    float w = t->width / 2 * t->scale;
    return box3D{t->x - w - m, t->y - m, t->x + w + m, t->y + GLYPHHEIGHT * t->scale + m};
}

// ---------------------------------------------------------------------------
// The dial

// Colour by distance from the centre: the face shades a little towards its
// edge, the bezel is brass that catches the light in a band. The repeated
// radius makes the face end sharply where the bezel begins.
static const float dialShades[][4] = {
//   radius   R     G     B
    {0.00f,  253,  249,  236},
    {0.55f,  250,  244,  226},
    {0.80f,  238,  228,  202},
    {0.80f,  122,   90,   38},
    {0.84f,  212,  174,   94},
    {0.90f,  240,  210,  132},
    {0.96f,  178,  138,   64},
    {1.02f,  112,   82,   32},
};
const int dialShadesCount = sizeof dialShades / sizeof dialShades[0];

static const unsigned char OUTSIDE[3] = {112, 114, 124};
static const unsigned char INK[3] = {28, 28, 38};
static const unsigned char BLACK[3] = {0, 0, 0};
static const unsigned char WHITE[3] = {255, 255, 255};

// Corner blocks, in the order row 0 col 0, row 0 last col, last row col 0,
// last row last col. The first one, red, marks the first texel of the file.
static const unsigned char cornerColours[4][3] = {
    {220,  20,  20},
    { 20, 170,  40},
    { 30,  60, 220},
    {240, 210,  20},
};

// The body's rim reaches radius 1 and is sampled with linear filtering, so
// the brass runs a texel and a half further to keep the edge marks out of it.
const float DIALEDGE = 1.0f + 1.5f / 128;

static void DialShade(float radius, unsigned char rgb[3])
{
    int i = 1;
    while (i < dialShadesCount - 1 && radius > dialShades[i][0])
        i++;
    const float *a = dialShades[i - 1], *b = dialShades[i];
    float t = b[0] > a[0] ? (radius - a[0]) / (b[0] - a[0]) : 1;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    for (int k = 0; k < 3; k++)
        rgb[k] = (unsigned char)lrintf(a[k + 1] + (b[k + 1] - a[k + 1]) * t);
}

// Alignment marks outside the disc: a border of alternating black and white
// texels, the coloured corner blocks, a 1-texel checkerboard and stripes.
static void DrawDialCorners(unsigned char *rgb)
{
    const int n = DIALSIZE, last = DIALSIZE - 1;
    for (int i = 0; i < n * n; i++)
        memcpy(rgb + 3 * i, OUTSIDE, 3);
    for (int i = 0; i < n; i++) {
        const unsigned char *bw = (i & 1) ? WHITE : BLACK;
        SetTexel(rgb, n, 0, i, bw);
        SetTexel(rgb, n, last, i, bw);
        SetTexel(rgb, n, i, 0, bw);
        SetTexel(rgb, n, i, last, bw);
    }
    const int far = n - DIALCORNER;
    FillRect(rgb, n, 0, 0, DIALCORNER, DIALCORNER, cornerColours[0]);
    FillRect(rgb, n, 0, far, DIALCORNER, DIALCORNER, cornerColours[1]);
    FillRect(rgb, n, far, 0, DIALCORNER, DIALCORNER, cornerColours[2]);
    FillRect(rgb, n, far, far, DIALCORNER, DIALCORNER, cornerColours[3]);
    // Each patch is 16 x 16 texels, two texels in from the block next to it.
    const int p = 16, in = DIALCORNER + 2;
    for (int r = 0; r < p; r++)
        for (int c = 0; c < p; c++) {
            SetTexel(rgb, n, 2 + r, in + c, ((r + c) & 1) ? WHITE : BLACK);
            SetTexel(rgb, n, in + r, 2 + c, ((r + c) & 1) ? WHITE : BLACK);
            SetTexel(rgb, n, 2 + r, far - 2 - p + c, (c & 1) ? WHITE : BLACK);
            SetTexel(rgb, n, far - 2 - p + r, 2 + c, (r & 1) ? WHITE : BLACK);
        }
}

static void DrawDialDisc(const canvas3D *cv)
{
    const ring3D disc = {0, DIALEDGE};
    for (int r = 0; r < cv->height; r++)
        for (int c = 0; c < cv->width; c++) {
            float a = Coverage(cv, r, c, InRing, &disc);
            if (a <= 0)
                continue;
            float x = (c + 0.5f - cv->originCol) * cv->dx;
            float y = (r + 0.5f - cv->originRow) * cv->dy;
            unsigned char shade[3];
            DialShade(sqrtf(x * x + y * y), shade);
            unsigned char *p = cv->pix + ((size_t)r * cv->width + c) * 3;
            for (int k = 0; k < 3; k++)
                p[k] = (unsigned char)lrintf(p[k] + (shade[k] - p[k]) * a);
        }
    const ring3D line = {DIALFACE - 0.006f, DIALFACE + 0.006f};
    const unsigned char lineColour[3] = {70, 52, 22};
    box3D box = RingBox(&line);
    Paint(cv, &box, InRing, &line, lineColour);
}

// Minute ticks and hour marks, drawn from 12 o'clock clockwise.
const float TRACKOUTER = 0.775f;
const float MINUTEINNER = 0.725f, MINUTEHALF = 0.0055f;
const float HOURINNER = 0.650f, HOURHALF = 0.0135f;

static void DrawDialTicks(const canvas3D *cv)
{
    const float rad = 3.14159265f / 180;
    for (int i = 0; i < 60; i++) {
        bool hour = i % 5 == 0;
        tick3D t;
        t.dirX = sinf(i * 6 * rad);
        t.dirY = cosf(i * 6 * rad);
        t.inner = hour ? HOURINNER : MINUTEINNER;
        t.outer = TRACKOUTER;
        t.halfWidth = hour ? HOURHALF : MINUTEHALF;
        box3D box = TickBox(&t);
        Paint(cv, &box, InTick, &t, INK);
    }
    const ring3D track = {TRACKOUTER - 0.003f, TRACKOUTER + 0.004f};
    box3D box = RingBox(&track);
    Paint(cv, &box, InRing, &track, INK);
}

const float NUMERALRADIUS = 0.530f;
const float NUMERALHEIGHT = 0.110f;  // between the centre lines: 14 texels
const float NUMERALPEN = 0.0205f;    // 2.6 texels
const float NUMERALGAP = 2.2f;       // glyph units between the digits of 10 to 12

// The clock writes its time in white from the centre towards 3 o'clock, 13
// pixels tall in a 240-pixel window: a dark window there, like a watch's
// date window, keeps the text readable on the light face. It takes the place
// of the numeral 3 and stops short of the hour mark.
const box3D READOUTWINDOW = {-0.035f, -0.035f, 0.600f, 0.110f};
const float READOUTCORNER = 0.025f;
static const unsigned char READOUTCOLOUR[3] = {38, 44, 60};
const int READOUTHOUR = 3;

static bool InReadoutWindow(const void *shape, float x, float y)
{
    const box3D *b = (const box3D *)shape;
    // A rounded rectangle: the distance to the rectangle shrunk by the corner
    // radius is at most that radius.
    float dx = fmaxf(fmaxf(b->x0 + READOUTCORNER - x, x - b->x1 + READOUTCORNER), 0.0f);
    float dy = fmaxf(fmaxf(b->y0 + READOUTCORNER - y, y - b->y1 + READOUTCORNER), 0.0f);
    return dx * dx + dy * dy <= READOUTCORNER * READOUTCORNER;
}

static void DrawReadoutWindow(const canvas3D *cv)
{
    Paint(cv, &READOUTWINDOW, InReadoutWindow, &READOUTWINDOW, READOUTCOLOUR);
}

static void DrawDialNumerals(const canvas3D *cv)
{
    const float rad = 3.14159265f / 180;
    for (int h = 1; h <= 12; h++) {
        if (h == READOUTHOUR)
            continue;
        float cx = NUMERALRADIUS * sinf(h * 30 * rad);
        float cy = NUMERALRADIUS * cosf(h * 30 * rad);
        text3D t = SetNumeral(h, cx, cy, NUMERALHEIGHT, NUMERALPEN, NUMERALGAP);
        box3D box = TextBox(&t);
        Paint(cv, &box, InText, &t, INK);
    }
}

void MakeDialTexture(unsigned char *rgb)
{
    BuildFont();
    DrawDialCorners(rgb);
    const canvas3D cv = {rgb, DIALSIZE, DIALSIZE, 3, DIALSIZE / 2.0f, DIALSIZE / 2.0f,
                         2.0f / DIALSIZE, 2.0f / DIALSIZE};
    DrawDialDisc(&cv);
    DrawDialTicks(&cv);
    DrawReadoutWindow(&cv);
    DrawDialNumerals(&cv);
}

// ---------------------------------------------------------------------------
// The 64 x 64 test picture

static void FillTestBackground(unsigned char *rgb)
{
    const unsigned char paper[3] = {226, 226, 222};
    const unsigned char grid[3] = {150, 160, 205};
    for (int r = 0; r < TESTSIZE; r++)
        for (int c = 0; c < TESTSIZE; c++)
            SetTexel(rgb, TESTSIZE, r, c, (r % 8 == 4 || c % 8 == 4) ? grid : paper);
}

// A big F whose top left lies next to the first texel: with the first row at
// the top of the screen it reads normally, any flip or turn shows at a glance.
static void DrawTestLetter(unsigned char *rgb)
{
    FillRect(rgb, TESTSIZE, 10, 10, 36, 6, BLACK);   // stem
    FillRect(rgb, TESTSIZE, 10, 16, 6, 24, BLACK);   // top bar
    FillRect(rgb, TESTSIZE, 25, 16, 5, 16, BLACK);   // middle bar
}

// Detail one texel wide: a checkerboard, vertical and horizontal stripes.
static void DrawTestDetail(unsigned char *rgb)
{
    for (int r = 0; r < 14; r++)
        for (int c = 0; c < 14; c++)
            SetTexel(rgb, TESTSIZE, 42 + r, 42 + c, ((r + c) & 1) ? WHITE : BLACK);
    for (int r = 0; r < 14; r++)
        for (int c = 0; c < 12; c++)
            SetTexel(rgb, TESTSIZE, 20 + r, 44 + c, (c & 1) ? WHITE : BLACK);
    for (int r = 0; r < 8; r++)
        for (int c = 0; c < 20; c++)
            SetTexel(rgb, TESTSIZE, 50 + r, 14 + c, (r & 1) ? WHITE : BLACK);
}

void MakeTestTexture(unsigned char *rgb)
{
    FillTestBackground(rgb);
    DrawTestLetter(rgb);
    DrawTestDetail(rgb);
    const int far = TESTSIZE - TESTCORNER;
    FillRect(rgb, TESTSIZE, 0, 0, TESTCORNER, TESTCORNER, cornerColours[0]);
    FillRect(rgb, TESTSIZE, 0, far, TESTCORNER, TESTCORNER, cornerColours[1]);
    FillRect(rgb, TESTSIZE, far, 0, TESTCORNER, TESTCORNER, cornerColours[2]);
    FillRect(rgb, TESTSIZE, far, far, TESTCORNER, TESTCORNER, cornerColours[3]);
}

// ---------------------------------------------------------------------------
// The hands

// A hand seen pointing along +x from the pivot, y across it: a tapering blade
// given by its half-width at distances along it, a hub disc on the pivot and,
// for the second hand, a counterweight disc on the tail. Units are the
// clock's, whose outer radius is 1.
struct hand3D {
    unsigned char rgb[3];
    int profileCount;
    float profile[6][2];        // distance along, half-width; distance ascending
    float hub;                  // hub radius
    float weightAt, weight;     // counterweight centre and radius, 0 for none
};

static const hand3D hands[3] = {
    // hour: short and broad
    {{22, 26, 44}, 6, {{-0.075f, 0.013f}, {0.030f, 0.021f}, {0.140f, 0.035f},
                       {0.300f, 0.033f}, {0.430f, 0.017f}, {0.505f, 0.000f}},
     0.031f, 0, 0},
    // minute: long
    {{22, 26, 44}, 5, {{-0.100f, 0.011f}, {0.040f, 0.016f}, {0.120f, 0.0205f},
                       {0.700f, 0.012f}, {0.800f, 0.000f}},
     0.027f, 0, 0},
    // second: thin, red, with a counterweight
    {{205, 22, 22}, 4, {{-0.100f, 0.0060f}, {0.000f, 0.0072f}, {0.815f, 0.0052f},
                        {0.850f, 0.000f}},
     0.017f, -0.072f, 0.014f},
};

static float HandHalfWidth(const hand3D *h, float along)
{
    const float (*p)[2] = h->profile;
    if (along < p[0][0] || along > p[h->profileCount - 1][0])
        return -1;
    for (int i = 1; i < h->profileCount; i++)
        if (along <= p[i][0]) {
            float t = (along - p[i - 1][0]) / (p[i][0] - p[i - 1][0]);
            return p[i - 1][1] + (p[i][1] - p[i - 1][1]) * t;
        }
    return -1;
}

static bool InHand(const void *shape, float x, float y)
{
    const hand3D *h = (const hand3D *)shape;
    if (fabsf(y) <= HandHalfWidth(h, x))
        return true;
    if (x * x + y * y < h->hub * h->hub)
        return true;
    float wx = x - h->weightAt;
    return h->weight > 0 && wx * wx + y * y < h->weight * h->weight;
}

static bool NearHand(const unsigned char *band, int row, int col)
{
    for (int r = row - 1; r <= row + 1; r++)
        for (int c = col - 1; c <= col + 1; c++)
            if (r >= 0 && r < HANDBAND && c >= 0 && c < HANDSSIZE
                && band[((size_t)r * HANDSSIZE + c) * 4 + 3] != 0)
                return true;
    return false;
}

// Fills one band: the hand's outline in alpha, then the colour. Linear
// filtering mixes a texel only with its eight neighbours, and it mixes colours
// whatever their alpha, so every transparent texel next to the hand takes the
// hand's colour to keep the edge from darkening or paling. Farther out the
// colour is white, like the readout texels below.
static void DrawHand(unsigned char *band, const hand3D *h)
{
    const canvas3D cv = {band, HANDSSIZE, HANDBAND, 4, HANDPIVOT + 0.5f, HANDPIVOT + 0.5f,
                         HANDCOLUMN, HANDROW};
    for (int r = 0; r < HANDBAND; r++)
        for (int c = 0; c < HANDSSIZE; c++)
            band[((size_t)r * HANDSSIZE + c) * 4 + 3] =
                (unsigned char)lrintf(255 * Coverage(&cv, r, c, InHand, h));
    for (int r = 0; r < HANDBAND; r++)
        for (int c = 0; c < HANDSSIZE; c++)
            memcpy(band + ((size_t)r * HANDSSIZE + c) * 4, NearHand(band, r, c) ? h->rgb : WHITE, 3);
}

void MakeHandsTexture(unsigned char *rgba)
{
    const int bandBytes = HANDBAND * HANDSSIZE * 4;
    for (int b = 0; b < 3; b++)
        DrawHand(rgba + b * bandBytes, &hands[b]);
    unsigned char *spare = rgba + 3 * bandBytes;
    for (int i = 0; i < HANDBAND * HANDSSIZE; i++) {
        memcpy(spare + 4 * i, WHITE, 3);
        spare[4 * i + 3] = 0;
    }
    // The clock draws its time readout with texturing and blending still on
    // and this image bound, so the text takes its colour and alpha from the
    // texels it samples. Mesa draws glBitmap text as a quad over its own
    // 512 x 32 pixel bitmap cache and the fixed-function texturing reads that
    // quad's texture coordinates: s = (x - x0 + 0.5) / 512 and
    // t = (y - y0 + 0.5) / 32 in window pixels, with (x0, y0) the first
    // glyph's origin less 9 rows (the cache centres the font's 14-row glyphs).
    // A readout of up to 8 glyphs with ink on glyph rows 2 to 11 thus reads
    // columns 0 to 16 and rows 45 to 82, four rows to a pixel; opaque white
    // there makes the text opaque white. The minute and second hands' tails
    // lie in this window, so those hands show it as a white card behind the
    // pivot. (The first glyph's second column also reads an eighth of the
    // last column, which stays clear: it would show at the hands' tips.)
    for (int r = READOUTFIRSTROW; r <= READOUTLASTROW; r++)
        for (int c = 0; c < READOUTCOLUMNS; c++)
            memset(rgba + ((size_t)r * HANDSSIZE + c) * 4, 255, 4);
    // A renderer that textures bitmap fragments with the raster position's
    // coordinates, as OpenGL 1.1 describes, samples texture coordinate (0, 0)
    // instead, since the clock never sets one: with linear filtering and
    // repeat wrapping that is the mean of the four corner texels, so they are
    // opaque white too. The hour hand's rectangle reaches them only within a
    // pixel of its outer corners, where they show as a faint speck.
    const int last = HANDSSIZE - 1;
    const int corners[4][2] = {{0, 0}, {0, last}, {last, 0}, {last, last}};
    for (int i = 0; i < 4; i++)
        memset(rgba + ((size_t)corners[i][0] * HANDSSIZE + corners[i][1]) * 4, 255, 4);
}

// ---------------------------------------------------------------------------

const texturefile3D textureFiles[] = {
    {"Texture2_256X256X24.RAW", DIALBYTES, MakeDialTexture},
    {"Texture1_64X64X24.RAW", TESTBYTES, MakeTestTexture},
    {"Texture1_128X128X32.RAW", HANDSBYTES, MakeHandsTexture},
};
const int textureFilesCount = sizeof textureFiles / sizeof textureFiles[0];
