// The starfield's star values, random fractions and the step of one frame.
#include "quenby/stars.h"

#include <gtest/gtest.h>

#include <cstdlib>

static star3D StarAtDepth(int i)
{
    star3D S;
    SetStar(&S, 0.25f, 0.75f, RandomFraction(i));
    return S;
}

TEST(Stars, ValuesForTheNearestMiddleAndFarthestDepth)
{
    star3D S = StarAtDepth(0);
    EXPECT_EQ(S.x, 0.25f);
    EXPECT_EQ(S.y, 0.75f);
    EXPECT_FLOAT_EQ(S.speed, 0.2f);
    EXPECT_EQ(S.size, 6.0f);
    EXPECT_EQ(S.r, 1.0f);
    EXPECT_EQ(S.g, 1.0f);
    EXPECT_EQ(S.b, 1.0f);
    EXPECT_EQ(S.speed, 0.0002f / 0.001f);   // crosses the window in 5 frames

    S = StarAtDepth(16384);
    EXPECT_NEAR(S.speed, 0.0002 / 0.501, 1e-9);
    EXPECT_EQ(S.size, 3.0f);
    EXPECT_EQ(S.r, 0.5f);
    EXPECT_EQ(S.g, 0.5f);
    EXPECT_EQ(S.b, 1.0f);

    S = StarAtDepth(32767);
    EXPECT_NEAR(S.speed, 0.0001998, 1e-7);
    EXPECT_NEAR(S.size, 6.0 / 32768, 1e-9);
    EXPECT_NEAR(S.r, 1.0 / 32768, 1e-9);
    EXPECT_EQ(S.g, S.r);
    EXPECT_EQ(S.b, 1.0f);
}

TEST(Stars, FractionsAreExactSteps)
{
    EXPECT_EQ(RandomFraction(0), 0.0f);
    EXPECT_EQ(RandomFraction(1), 1.0f / 32768);
    EXPECT_EQ(RandomFraction(16384), 0.5f);
    EXPECT_EQ(RandomFraction(32767), 32767.0f / 32768);
    EXPECT_LT(RandomFraction(32767), 1.0f);
}

// Enough draws to meet both ends of the range many times over.
TEST(Stars, RandomIntegersCoverExactlyFifteenBits)
{
    srand(7);
    int lowest = RANDOMRANGE, highest = -1, seen[RANDOMRANGE] = {0};
    for (int k = 0; k < 2000000; k++) {
        int i = RandomInteger();
        ASSERT_GE(i, 0);
        ASSERT_LT(i, RANDOMRANGE);
        lowest = i < lowest ? i : lowest;
        highest = i > highest ? i : highest;
        seen[i]++;
    }
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(highest, 32767);
    int unseen = 0;
    for (int count : seen)
        unseen += count == 0;
    EXPECT_EQ(unseen, 0);
}

TEST(Stars, MakeStarDrawsXThenYThenDepth)
{
    srand(11);
    int ix = RandomInteger(), iy = RandomInteger(), iz = RandomInteger();
    srand(11);
    star3D S;
    MakeStar(&S);
    EXPECT_EQ(S.x, RandomFraction(ix));
    EXPECT_EQ(S.y, RandomFraction(iy));
    EXPECT_EQ(S.size, STARSIZE * (1 - RandomFraction(iz)));
}

TEST(Stars, StepMovesLeftBySpeedAndKeepsEverythingElse)
{
    star3D S = StarAtDepth(16384), before = S;
    MoveStar(&S);
    EXPECT_EQ(S.x, before.x - before.speed);
    EXPECT_EQ(S.y, before.y);
    EXPECT_EQ(S.speed, before.speed);
    EXPECT_EQ(S.size, before.size);
}

// At 0 or below, including exactly 0, the star comes back at the right edge
// with the next random height in the same step; depth, size and colour stay.
TEST(Stars, StarReachingTheLeftEdgeReentersAtTheRight)
{
    const float cases[][2] = {
        // x, speed
        {0.2f, 0.2f},        // lands exactly on 0
        {0.1f, 0.2f},        // lands below 0
        {0.0f, 0.0002f},     // starts on 0
    };
    for (const auto &c : cases) {
        star3D S = StarAtDepth(0), before;
        S.x = c[0];
        S.speed = c[1];
        before = S;
        srand(3);
        float y = RandomFraction(RandomInteger());
        srand(3);
        MoveStar(&S);
        EXPECT_EQ(S.x, 1.0f) << c[0];
        EXPECT_EQ(S.y, y) << c[0];
        EXPECT_EQ(S.speed, before.speed);
        EXPECT_EQ(S.size, before.size);
        EXPECT_EQ(S.r, before.r);
        EXPECT_EQ(S.g, before.g);
    }
    star3D S = StarAtDepth(0);
    S.x = 0.2f + 1e-7f;      // just stays in, at its old height
    MoveStar(&S);
    EXPECT_GT(S.x, 0.0f);
    EXPECT_LT(S.x, 1e-6f);
    EXPECT_EQ(S.y, 0.75f);
}

// Five steps of 0.2 take the nearest star across the window; in floats the
// fifth leaves it about 6e-8 right of 0, so it re-enters on the sixth.
TEST(Stars, NearestStarCrossesInFiveSteps)
{
    star3D S = StarAtDepth(0);
    S.x = 1.0f;
    for (int round = 0; round < 3; round++) {
        for (int step = 1; step <= 5; step++) {
            MoveStar(&S);
            EXPECT_NEAR(S.x, 1 - 0.2 * step, 1e-6) << step;
            EXPECT_GT(S.x, 0.0f);
        }
        MoveStar(&S);
        EXPECT_EQ(S.x, 1.0f);
    }
}

// Every star is moved before it is drawn; the step must change x for every
// depth, even the slowest star at the right edge, where float steps are
// coarsest, so no star is ever drawn at its first position.
TEST(Stars, EveryStepMovesEveryDepth)
{
    for (int i = 0; i < RANDOMRANGE; i++) {
        star3D S = StarAtDepth(i);
        S.x = 1.0f;
        MoveStar(&S);
        ASSERT_LT(S.x, 1.0f) << i;
        S.x = RandomFraction(32767);
        MoveStar(&S);
        ASSERT_LT(S.x, RandomFraction(32767)) << i;
    }
}
