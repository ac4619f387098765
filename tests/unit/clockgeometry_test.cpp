// Checks the clock's mesh tables against the geometry they are built from:
// the body's profile swept through 24 meridians, its segment order, winding,
// and the hands' rectangles and image bands.
#include "tembrel/clockgeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

const int kBodyVertices = 146;
const double kRadius[6] = {9.0 / 11, 32.0 / 33, 1, 1, 32.0 / 33, 9.0 / 11};
const float kRingZ[6] = {0.3f, 0.38f, 0.460001f, 0.539999f, 0.620001f, 0.7f};

// Vertex number of meridian m, ring r.
int BodyVertex(int m, int r)
{
    if (m == 0) return 2 + 2 * r;
    if (m == 1) return 1 + 2 * r;
    return 14 + 6 * (m - 2) + r;
}

const float *Rec(const float *points, int i) { return points + 5 * i; }

// Twice the signed area of a triangle seen along z; negative is clockwise.
double Area2(const float *points, const unsigned int *tri)
{
    const float *a = Rec(points, tri[0]), *b = Rec(points, tri[1]), *c = Rec(points, tri[2]);
    return double(b[2] - a[2]) * (c[3] - a[3]) - double(b[3] - a[3]) * (c[2] - a[2]);
}

} // namespace

TEST(ClockBody, CountsIndexRangeAndFirstUse)
{
    EXPECT_EQ(sizeof(BodyPoints) / sizeof(float), 5u * kBodyVertices);
    EXPECT_EQ(sizeof(BodyIndices) / sizeof(unsigned int), 3u * BodyTrianglesCount);
    EXPECT_EQ(BodyTrianglesCount, 288);
    // Listing the indices and keeping each one's first occurrence gives
    // 0, 1, 2, ...: every vertex is used, in table order.
    std::vector<bool> seen(kBodyVertices, false);
    unsigned int next = 0;
    for (unsigned int i : BodyIndices) {
        ASSERT_LT(i, unsigned(kBodyVertices));
        if (!seen[i]) {
            EXPECT_EQ(i, next);
            seen[i] = true;
            next++;
        }
    }
    EXPECT_EQ(next, unsigned(kBodyVertices));
}

TEST(ClockBody, VerticesFollowProfileAndMirror)
{
    for (int m = 0; m < 24; m++) {
        double t = (180.0 + 15.0 * m) * std::acos(-1.0) / 180.0;
        for (int r = 0; r < 6; r++) {
            const float *p = Rec(BodyPoints, BodyVertex(m, r));
            double x = kRadius[r] * std::cos(t), y = kRadius[r] * std::sin(t);
            double rule[4] = {(1 + x) / 2, (1 + y) / 2, x, y};
            for (int k = 0; k < 4; k++)
                EXPECT_NEAR(p[k], rule[k], 1.2e-6) << "meridian " << m << " ring " << r << " field " << k;
            EXPECT_EQ(p[4], kRingZ[r]) << "meridian " << m << " ring " << r;
            const float *q = Rec(BodyPoints, BodyVertex(m, 5 - r));
            for (int k = 0; k < 4; k++)
                EXPECT_EQ(p[k], q[k]) << "meridian " << m << " rings " << r << "/" << 5 - r;
        }
    }
    const float c0[5] = {0.5f, 0.5f, 0, 0, 0.3f}, c1[5] = {0.5f, 0.5f, 0, 0, 0.7f};
    for (int k = 0; k < 5; k++) {
        EXPECT_EQ(Rec(BodyPoints, 0)[k], c0[k]);
        EXPECT_EQ(Rec(BodyPoints, 13)[k], c1[k]);
    }
}

TEST(ClockBody, ListedRowsExact)
{
    // Rows whose six-decimal values are fixed, last-digit quirks included.
    static const struct { int vertex; float u, v, x, y; } rows[] = {
        {1, 0.104848f, 0.394119f, -0.790303f, -0.211761f},
        {2, 0.090909f, 0.5f, -0.818181f, 0},
        {3, 0.031672f, 0.374512f, -0.936655f, -0.250976f},
        {4, 0.015152f, 0.5f, -0.969696f, 0},
        {5, 0.017037f, 0.370591f, -0.965925f, -0.258819f},
        {6, 0, 0.5f, -1, 0},
        {14, 0.145717f, 0.295455f, -0.708567f, -0.409091f},
        {15, 0.080109f, 0.257576f, -0.839782f, -0.484849f},
        {16, 0.066987f, 0.25f, -0.866025f, -0.5f},
        {110, 0.5f, 0.909091f, 0, 0.818183f},
        {111, 0.5f, 0.984848f, 0, 0.969697f},
        {112, 0.5f, 1, 0, 1},
    };
    for (const auto &row : rows) {
        const float *p = Rec(BodyPoints, row.vertex);
        EXPECT_EQ(p[0], row.u) << row.vertex;
        EXPECT_EQ(p[1], row.v) << row.vertex;
        EXPECT_EQ(p[2], row.x) << row.vertex;
        EXPECT_EQ(p[3], row.y) << row.vertex;
    }
    EXPECT_EQ(Rec(BodyPoints, BodyVertex(6, 0))[3], -0.818183f);

    static const struct { int segment; unsigned int tris[36]; } segs[] = {
        {0, {0, 1, 2, 2, 1, 3, 2, 3, 4, 4, 3, 5, 4, 5, 6, 6, 5, 7,
             6, 7, 8, 8, 7, 9, 8, 9, 10, 10, 9, 11, 10, 11, 12, 12, 11, 13}},
        {1, {0, 14, 1, 1, 14, 15, 1, 15, 3, 3, 15, 16, 3, 16, 5, 5, 16, 17,
             5, 17, 7, 7, 17, 18, 7, 18, 9, 9, 18, 19, 9, 19, 11, 11, 19, 13}},
        {23, {0, 2, 140, 140, 2, 4, 140, 4, 141, 141, 4, 6, 141, 6, 142, 142, 6, 8,
              142, 8, 143, 143, 8, 10, 143, 10, 144, 144, 10, 12, 144, 12, 145, 145, 12, 13}},
    };
    for (const auto &seg : segs)
        for (int k = 0; k < 36; k++)
            EXPECT_EQ(BodyIndices[36 * seg.segment + k], seg.tris[k]) << "segment " << seg.segment << " entry " << k;
}

TEST(ClockBody, SegmentsFollowSweepOrder)
{
    for (int s = 0; s < 24; s++) {
        int P = s, N = (s + 1) % 24;
        std::vector<unsigned> want = {0, unsigned(BodyVertex(N, 0)), unsigned(BodyVertex(P, 0))};
        for (int r = 0; r < 5; r++) {
            unsigned pr = BodyVertex(P, r), nr = BodyVertex(N, r);
            unsigned pr1 = BodyVertex(P, r + 1), nr1 = BodyVertex(N, r + 1);
            want.insert(want.end(), {pr, nr, nr1, pr, nr1, pr1});
        }
        want.insert(want.end(), {unsigned(BodyVertex(P, 5)), unsigned(BodyVertex(N, 5)), 13});
        for (int k = 0; k < 36; k++)
            EXPECT_EQ(BodyIndices[36 * s + k], want[k]) << "segment " << s << " entry " << k;
    }
}

TEST(ClockBody, WindingSeenAlongZ)
{
    // The near face and the near half of the rim turn clockwise on screen, the
    // far ones counter-clockwise; the band between the two radius-1 rings is
    // seen edge-on.
    for (int s = 0; s < 24; s++) {
        for (int t = 0; t < 12; t++) {
            double a = Area2(BodyPoints, BodyIndices + 36 * s + 3 * t);
            if (t < 5)
                EXPECT_LT(a, 0) << "segment " << s << " triangle " << t;
            else if (t < 7)
                EXPECT_EQ(a, 0) << "segment " << s << " triangle " << t;
            else
                EXPECT_GT(a, 0) << "segment " << s << " triangle " << t;
        }
    }
}

TEST(ClockHands, SharedShapeWindingAndBands)
{
    const unsigned int want[12] = {3, 2, 1, 3, 1, 0, 0, 1, 2, 0, 2, 3};
    const unsigned int *indices[3] = {HourHandIndices, MinuteHandIndices, SecondHandIndices};
    for (const unsigned int *ix : indices)
        for (int k = 0; k < 12; k++)
            EXPECT_EQ(ix[k], want[k]);
    EXPECT_EQ(HandTrianglesCount, 4);

    const float *hands[3] = {HourHandPoints, MinuteHandPoints, SecondHandPoints};
    const float depth[3] = {0.01f, 0.02f, 0.03f};
    for (int h = 0; h < 3; h++) {
        const float *p = hands[h];
        for (int i = 0; i < 4; i++) {
            // Same rectangle and u; only v (the band) and z differ.
            EXPECT_EQ(p[5 * i + 0], HourHandPoints[5 * i + 0]);
            EXPECT_EQ(p[5 * i + 2], HourHandPoints[5 * i + 2]);
            EXPECT_EQ(p[5 * i + 3], HourHandPoints[5 * i + 3]);
            EXPECT_EQ(p[5 * i + 4], depth[h]);
        }
        float band = 0.25f * h;
        EXPECT_NEAR(p[1], band, 1.5e-6);
        EXPECT_NEAR(p[11], band + 0.25f, 1.5e-6);
        EXPECT_LT(Area2(p, want + 0), 0);
        EXPECT_LT(Area2(p, want + 3), 0);
        EXPECT_GT(Area2(p, want + 6), 0);
        EXPECT_GT(Area2(p, want + 9), 0);

        // u follows y along the hand and v follows x across it, so the pivot
        // (0, 0) lands on a fixed texel of the 128x128 image that the hands'
        // artwork must centre on.
        double u = p[0] + (0 - p[3]) / (p[8] - p[3]) * (p[5] - p[0]);
        double v = p[6] + (0 - p[7]) / (p[12] - p[7]) * (p[11] - p[6]);
        EXPECT_NEAR(u * 128, 14.5, 1e-3);
        EXPECT_NEAR((v - band) * 128, 14.5, 1e-3);
    }
}
