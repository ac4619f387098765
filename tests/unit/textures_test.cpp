// The pictures of the generated texture files: sizes, orientation, the marks
// that the programs rely on, and the hands' outlines.
#include "texturegen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct image3D {
    std::vector<unsigned char> pix;
    int size, depth;
    const unsigned char *At(int row, int col) const
    {
        return &pix[((size_t)row * size + col) * depth];
    }
};

image3D Made(void (*make)(unsigned char *), int size, int depth)
{
    image3D img = {std::vector<unsigned char>((size_t)size * size * depth), size, depth};
    make(img.pix.data());
    return img;
}

const image3D dial = Made(MakeDialTexture, DIALSIZE, 3);
const image3D test64 = Made(MakeTestTexture, TESTSIZE, 3);
const image3D hands = Made(MakeHandsTexture, HANDSSIZE, 4);

int Luma(const unsigned char *p)
{
    return (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000;
}

bool Same(const unsigned char *a, const unsigned char *b)
{
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

void ExpectCornersDiffer(const image3D &img)
{
    const int l = img.size - 1;
    const unsigned char *c[4] = {img.At(0, 0), img.At(0, l), img.At(l, 0), img.At(l, l)};
    for (int i = 0; i < 4; i++)
        for (int j = i + 1; j < 4; j++)
            EXPECT_FALSE(Same(c[i], c[j])) << "corners " << i << " and " << j;
}

// The dial texel under the clock point at the given radius towards the hour
// (12 up, 3 right).
const unsigned char *DialAt(float hour, float radius)
{
    float a = hour * 3.14159265f / 6;
    int col = (int)floorf((radius * sinf(a) + 1) * 128);
    int row = (int)floorf((radius * cosf(a) + 1) * 128);
    return dial.At(row, col);
}

// Dark texels within 12 texels of the numeral of the given hour: their
// count, horizontal extent and the height (-1 .. 1, clock up) of the row
// with the most of them. The disc keeps the marks out.
struct ink3D {
    int count, width;
    float widestRowY;
};

ink3D NumeralInk(float hour)
{
    const int R = 12;
    float a = hour * 3.14159265f / 6;
    int col0 = (int)floorf((0.53f * sinf(a) + 1) * 128), row0 = (int)floorf((0.53f * cosf(a) + 1) * 128);
    ink3D ink = {0, 0, 0};
    int lo = R, hi = -R, widest = -1;
    for (int r = -R; r <= R; r++) {
        int run = 0;
        for (int c = -R; c <= R; c++)
            if (r * r + c * c <= R * R && Luma(dial.At(row0 + r, col0 + c)) < 110) {
                ink.count++, run++;
                lo = std::min(lo, c), hi = std::max(hi, c);
            }
        if (run > widest)
            widest = run, ink.widestRowY = (float)r / R;
    }
    ink.width = hi - lo + 1;
    return ink;
}

unsigned char Alpha(int row, int col)
{
    return hands.At(row, col)[3];
}

bool InReadout(int row, int col)
{
    const int l = HANDSSIZE - 1;
    bool corner = (row == 0 || row == l) && (col == 0 || col == l);
    return corner ||
           (row >= READOUTFIRSTROW && row <= READOUTLASTROW && col >= 0 && col < READOUTCOLUMNS);
}

} // namespace

TEST(TextureFiles, SizesMatchTheirNamesAndEveryByteIsDrawn)
{
    ASSERT_EQ(textureFilesCount, 3);
    EXPECT_STREQ(textureFiles[0].name, "Texture2_256X256X24.RAW");
    EXPECT_STREQ(textureFiles[1].name, "Texture1_64X64X24.RAW");
    EXPECT_STREQ(textureFiles[2].name, "Texture1_128X128X32.RAW");
    for (int i = 0; i < textureFilesCount; i++) {
        const texturefile3D *f = &textureFiles[i];
        int w = 0, h = 0, bits = 0;
        ASSERT_EQ(sscanf(f->name, "%*[^_]_%dX%dX%d", &w, &h, &bits), 3) << f->name;
        EXPECT_EQ(f->bytes, w * h * bits / 8) << f->name;
        // Only if every byte is written do two different fillings end equal.
        std::vector<unsigned char> a((size_t)f->bytes, 0x00), b((size_t)f->bytes, 0xA5);
        f->make(a.data());
        f->make(b.data());
        EXPECT_TRUE(a == b) << f->name;
    }
}

TEST(DialTexture, NumeralsUprightWithTwelveAtTheHighRows)
{
    ink3D twelve = NumeralInk(12), six = NumeralInk(6), one = NumeralInk(1), eleven = NumeralInk(11);
    EXPECT_GT(twelve.width, six.width + 4) << "two digits at the top, one at the bottom";
    EXPECT_GT(eleven.width, one.width + 3) << "11 on the left, 1 on the right";
    EXPECT_GT(NumeralInk(7).widestRowY, 0.4f) << "the 7's bar at its top";
    for (int h = 1; h <= 12; h++)
        EXPECT_GT(NumeralInk(h).count, 10) << "hour " << h;
}

TEST(DialTexture, MarksSymmetricAndInsideTheVisibleFace)
{
    for (int m = 0; m < 60; m++) {
        EXPECT_LT(Luma(DialAt(m / 5.0f, 0.75f)), 110) << "minute " << m;
        EXPECT_GT(Luma(DialAt((m + 0.5f) / 5, 0.75f)), 180) << "after minute " << m;
        EXPECT_EQ(Luma(DialAt(m / 5.0f, 0.68f)) < 110, m % 5 == 0) << "minute " << m;
        // Clear of the edge of the face, where the body turns into its rim.
        EXPECT_GT(Luma(DialAt(m / 5.0f, 0.79f)), 150) << "minute " << m;
    }
    const int l = DIALSIZE - 1;
    int worst = 0;
    for (int r = 0; r < DIALSIZE; r++)
        for (int c = 0; c < DIALSIZE; c++) {
            float radius = hypotf((c + 0.5f) / 128 - 1, (r + 0.5f) / 128 - 1);
            if (radius < 0.63f || radius > 0.79f)
                continue;
            int v = Luma(dial.At(r, c));
            worst = std::max(worst, abs(v - Luma(dial.At(r, l - c))));
            worst = std::max(worst, abs(v - Luma(dial.At(l - r, c))));
        }
    EXPECT_LE(worst, 8);
}

TEST(DialTexture, LightFaceDistinctBezelAndCornerMarks)
{
    const unsigned char *face = DialAt(9, 0.3f), *bezel = DialAt(0, 0.9f);
    EXPECT_GT(Luma(face), 220);
    EXPECT_GT(abs(face[2] - bezel[2]), 60);
    // The clock's white text runs from the centre towards 3 o'clock over a
    // dark window, which stops short of the hour mark.
    for (float r = 0.02f; r < 0.58f; r += 0.04f)
        EXPECT_LT(Luma(DialAt(3, r)), 80) << "radius " << r;
    EXPECT_GT(Luma(DialAt(3, 0.63f)), 180);

    ExpectCornersDiffer(dial);
    EXPECT_TRUE(Same(dial.At(0, 0), dial.At(DIALCORNER - 1, DIALCORNER - 1)));
    EXPECT_GT(dial.At(0, 0)[0], 180);
    EXPECT_LT(dial.At(0, 0)[1], 80);
    // Along the first row past the red block, neighbours alternate black and white.
    for (int c = DIALCORNER; c < 60; c++)
        EXPECT_GT(abs(Luma(dial.At(0, c)) - Luma(dial.At(0, c + 1))), 200) << "column " << c;
}

TEST(TestTexture, CornersDifferAndOneTexelDetailBothWays)
{
    ExpectCornersDiffer(test64);
    // Eight strong alternations in a row, across and down.
    for (int down = 0; down < 2; down++) {
        bool found = false;
        for (int r = 0; r + 8 < TESTSIZE && !found; r++)
            for (int c = 0; c + 8 < TESTSIZE && !found; c++) {
                int k = 0;
                while (k < 8 && abs(Luma(test64.At(r + k * down, c + k * !down))
                                    - Luma(test64.At(r + (k + 1) * down, c + (k + 1) * !down))) > 200)
                    k++;
                found = k == 8;
            }
        EXPECT_TRUE(found) << (down ? "down" : "across");
    }
}

TEST(HandsTexture, PivotMatchesTheHandRectangle)
{
    // The clock's hand rectangle reaches 0.115105 behind the pivot and
    // 0.086329 to the side of the band's first row; texel centres lie at
    // index + 0.5.
    EXPECT_NEAR((HANDPIVOT + 0.5f) * HANDCOLUMN, 0.115105f, 1e-5f);
    EXPECT_NEAR((HANDPIVOT + 0.5f) * HANDROW, 0.086329f, 1e-5f);
}

TEST(HandsTexture, ReadoutOpaqueWhiteAndHandsInsideTheirBands)
{
    const int l = HANDSSIZE - 1;
    for (int r = 0; r < HANDSSIZE; r++)
        for (int c = 0; c < HANDSSIZE; c++)
            if (InReadout(r, c)) {
                for (int k = 0; k < 4; k++)
                    ASSERT_EQ(hands.At(r, c)[k], 255) << "row " << r << " column " << c;
            }
    // Band edges meet the next band; the first and last columns meet each
    // other through repeat wrapping.
    for (int r = 0; r < HANDSSIZE; r++)
        for (int c = 0; c < HANDSSIZE; c++) {
            bool edge = r % HANDBAND == 0 || r % HANDBAND == HANDBAND - 1 || c == 0 || c == l;
            if ((edge || r >= 3 * HANDBAND) && !InReadout(r, c)) {
                EXPECT_EQ(Alpha(r, c), 0) << "row " << r << " column " << c;
            }
        }
}

TEST(HandsTexture, SymmetricAboutThePivotRowWithOpaqueHub)
{
    for (int b = 0; b < 3; b++) {
        int axis = b * HANDBAND + HANDPIVOT;
        for (int k = 1; k <= HANDPIVOT; k++)
            for (int c = READOUTCOLUMNS; c < HANDSSIZE - 1; c++)
                ASSERT_EQ(Alpha(axis - k, c), Alpha(axis + k, c)) << "band " << b << " row " << axis - k;
        for (int r = -1; r <= 1; r++)
            for (int c = -1; c <= 1; c++)
                EXPECT_EQ(Alpha(axis + r, HANDPIVOT + c), 255) << "band " << b;
    }
}

TEST(HandsTexture, LengthsAndWidthsOrderedHourMinuteSecond)
{
    int tip[3], width[3];
    const int col = HANDPIVOT + (int)lrintf(0.25f / HANDCOLUMN);
    for (int b = 0; b < 3; b++) {
        tip[b] = -1, width[b] = 0;
        for (int c = 0; c < HANDSSIZE; c++)
            if (Alpha(b * HANDBAND + HANDPIVOT, c) == 255)
                tip[b] = c;
        for (int k = 0; k < HANDBAND; k++)
            width[b] += Alpha(b * HANDBAND + k, col) >= 128;
    }
    EXPECT_NEAR((tip[0] - HANDPIVOT) * HANDCOLUMN, 0.5f, 0.06f);
    EXPECT_NEAR((tip[1] - HANDPIVOT) * HANDCOLUMN, 0.8f, 0.06f);
    EXPECT_NEAR((tip[2] - HANDPIVOT) * HANDCOLUMN, 0.83f, 0.04f);
    EXPECT_GT(width[0], width[1]);
    EXPECT_GT(width[1], width[2]);
    EXPECT_GE(width[2], 1);
}

TEST(HandsTexture, TransparentTexelsBesideTheOutlineCarryTheHandsColour)
{
    for (int b = 0; b < 3; b++) {
        int base = b * HANDBAND;
        const unsigned char *colour = hands.At(base + HANDPIVOT, HANDSSIZE / 2);
        int checked = 0;
        for (int r = base + 1; r < base + HANDBAND - 1; r++)
            for (int c = 1; c < HANDSSIZE - 1; c++) {
                bool beside = false;
                for (int i = -1; i <= 1; i++)
                    for (int j = -1; j <= 1; j++)
                        beside = beside || (!InReadout(r + i, c + j) && Alpha(r + i, c + j) != 0);
                if (Alpha(r, c) == 0 && beside) {
                    checked++;
                    EXPECT_TRUE(Same(hands.At(r, c), colour)) << "row " << r << " column " << c;
                }
            }
        EXPECT_GT(checked, 50) << "band " << b;
    }
}
