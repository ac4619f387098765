// The texture tester's vertex records.
#include "fendrik/fendrik.h"

#include <gtest/gtest.h>

#include <cstddef>

TEST(SetPoint, RecordLayoutMatchesTheArrayStrides)
{
    EXPECT_EQ(sizeof(point3D), 28u);
    EXPECT_EQ(offsetof(point3D, u), 12u);   // texture coordinates follow z
    EXPECT_EQ(offsetof(point3D, RGBA), 24u);
}

TEST(SetPoint, ConvertsGridUnitsToDeviceCoordinates)
{
    point3D P;
    const float cases[][4] = {
        // grid x, grid y, stored x, stored y
        {0, 0, -1, 1},         {128, 128, 0, 0},            {256, 256, 1, -1},
        {255, 255, 0.9921875f, -0.9921875f}, {100, 163, -0.21875f, -0.2734375f},
    };
    for (const auto &c : cases) {
        SetPoint(&P, c[0], c[1], 0.0001f, 0, 0, 1, 1, 1, 1);
        EXPECT_EQ(P.x, c[2]);
        EXPECT_EQ(P.y, c[3]);
    }
}

TEST(SetPoint, KeepsDepthAndTexCoordsAndDerivesRecipDepthAndColour)
{
    point3D P;
    SetPoint(&P, 10, 20, 0.0001f, 0.9999f, 0.25f, 1.0f, 0.5f, 0.0f, 1.0f);
    EXPECT_EQ(P.z, 0.0001f);
    EXPECT_EQ(P.u, 0.9999f);
    EXPECT_EQ(P.v, 0.25f);
    EXPECT_FLOAT_EQ(P.w, (float)(1.0 / (0.0001f + 0.001)));
    EXPECT_NEAR(P.w, 909.09, 0.01);
    EXPECT_EQ((unsigned char)P.RGBA[0], 0xFF);
    EXPECT_EQ(P.RGBA[1], 127);
    EXPECT_EQ(P.RGBA[2], 0);
    EXPECT_EQ((unsigned char)P.RGBA[3], 0xFF);
}
