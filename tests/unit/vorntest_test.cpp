// The render-state test's GL-free pieces: the checkable menu table, the
// readout numbers, the drag arithmetic, texture file names and the generated
// pattern.
#include "vorntest/vorntest.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

// The table storage a program defines; this one has vorntest5's size.
const int MAXMENU = 100;
menu3D Menus[MAXMENU + 1];        // one spare entry to catch writes beyond

namespace {

unsigned SwitchA, ModeB;

std::string Name2(int i)
{
    return (const char *)Menus[i].name2;
}

TEST(Menu, MarksFollowTheValuesWhenTheTableIsBuilt)
{
    SwitchA = 1;
    ModeB = GL_EXP;
    const menuRow3D rows[] = {
        {"A: Off", &SwitchA, 0}, {"A: On", &SwitchA, 1},
        {"B: Off", &ModeB, 0},   {"B: GL_EXP", &ModeB, GL_EXP}, {"B: GL_EXP2", &ModeB, GL_EXP2},
    };
    MenusCount = 0;
    AddMenuRows(rows, 5);
    ASSERT_EQ(MenusCount, 5);
    EXPECT_EQ(Name2(0), "[_] A: Off");
    EXPECT_EQ(Name2(1), "[x] A: On");
    EXPECT_EQ(Name2(2), "[_] B: Off");
    EXPECT_EQ(Name2(3), "[x] B: GL_EXP");
    EXPECT_EQ(Name2(4), "[_] B: GL_EXP2");
    EXPECT_EQ(std::string((const char *)Menus[3].name), "B: GL_EXP");
    EXPECT_EQ(Menus[3].var, &ModeB);
    EXPECT_EQ(Menus[3].val, (unsigned)GL_EXP);
}

TEST(Menu, ChoosingStoresTheValueAndSaysWhetherItChanged)
{
    ModeB = 0;
    const menuRow3D rows[] = {{"B: Off", &ModeB, 0}, {"B: GL_EXP", &ModeB, GL_EXP}};
    MenusCount = 0;
    AddMenuRows(rows, 2);
    EXPECT_EQ(ChooseMenu(1), 1);
    EXPECT_EQ(ModeB, (unsigned)GL_EXP);
    EXPECT_EQ(ChooseMenu(1), 0) << "the marked entry changes nothing";
    EXPECT_EQ(ModeB, (unsigned)GL_EXP);
    EXPECT_EQ(ChooseMenu(0), 1);
    EXPECT_EQ(ModeB, 0u);
    EXPECT_EQ(ChooseMenu(2), 0) << "beyond the table";
    EXPECT_EQ(ChooseMenu(-1), 0);
    EXPECT_EQ(ModeB, 0u);
}

TEST(Menu, ValuesAreSignExtendedAndNullVariablesDropped)
{
    SwitchA = 0xFFFFFFFFu;
    MenusCount = 0;
    AddMenu("minus one", &SwitchA, -1);
    AddMenu("nothing", nullptr, 1);
    ASSERT_EQ(MenusCount, 1);
    EXPECT_EQ(Menus[0].val, 0xFFFFFFFFu);
    EXPECT_EQ(Name2(0), "[x] minus one");
}

TEST(Menu, AFullTableRefusesAnotherEntry)
{
    MenusCount = 0;
    for (int i = 0; i < MAXMENU; i++)
        AddMenu("Entry", &SwitchA, (short)i);
    ASSERT_EQ(MenusCount, MAXMENU);
    memset(&Menus[MAXMENU], 0xA5, sizeof(menu3D));
    menu3D last = Menus[MAXMENU - 1];
    AddMenu("One too many", &SwitchA, 7);
    EXPECT_EQ(MenusCount, MAXMENU);
    EXPECT_EQ(memcmp(&last, &Menus[MAXMENU - 1], sizeof last), 0);
    const unsigned char *spare = (const unsigned char *)&Menus[MAXMENU];
    for (size_t i = 0; i < sizeof(menu3D); i++)
        ASSERT_EQ(spare[i], 0xA5) << "byte " << i << " beyond the table";
}

TEST(Menu, LabelsFillButNeverOverrunTheirFields)
{
    const char *fits = "123456789012345678901234";          // 24 characters
    MenusCount = 0;
    Menus[1].id = 0x5A5A5A5A;
    AddMenu(fits, &SwitchA, 0);
    EXPECT_EQ(std::string((const char *)Menus[0].name), fits);
    EXPECT_EQ(Name2(0).size(), 28u);
    AddMenu("12345678901234567890123456789012345", &SwitchA, 0);
    EXPECT_EQ(std::string((const char *)Menus[1].name), fits) << "cut to 24";
    EXPECT_EQ(Name2(1).substr(4), fits);
    EXPECT_EQ(Menus[1].id, 0x5A5A5A5Au) << "nothing written past the labels";
}

TEST(Readout, pfPrintsSixTruncatedDecimalsOfTheFloat)
{
    const struct { float x; const char *text; } cases[] = {
        {-0.56f, "-0.560000 "}, {0.05f, "0.050000 "}, {-1.25f, "-1.250000 "},
        {540.0f, "540.000000 "}, {0.7f, "0.699999 "}, {208.8f, "208.800003 "},
        {0.0f, "0.000000 "}, {-1.0f, "-1.000000 "}, {180.0f, "180.000000 "},
    };
    for (const auto &c : cases) {
        char text[PFSIZE];
        int n = pfText(text, c.x);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(n, (int)strlen(c.text));
    }
}

TEST(Readout, TwoLinesEachStartingWithASpace)
{
    testing::internal::CaptureStdout();
    PrintReadout(0.25f, 208.8f);
    pf(-0.56f);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " xyzSize=0.250000 \n yRot=208.800003 \n-0.560000 ");
}

TEST(Drag, PointerMapsToMinusOneToOneAndIsClamped)
{
    EXPECT_EQ(DragCoord(0, 600, 0.3f), -1.0f);
    EXPECT_EQ(DragCoord(300, 600, 0.3f), 0.0f);
    EXPECT_EQ(DragCoord(600, 600, 0.3f), 1.0f);
    EXPECT_EQ(DragCoord(150, 600, 0.3f), -0.5f);
    EXPECT_EQ(DragCoord(450, 600, 0.3f), 0.5f);
    EXPECT_EQ(DragCoord(900, 600, 0.3f), 1.0f);
    EXPECT_EQ(DragCoord(-40, 600, 0.3f), -1.0f);
    EXPECT_EQ(DragCoord(INT_MAX, 1, 0.3f), 1.0f);
    EXPECT_EQ(DragCoord(INT_MIN, 1, 0.3f), -1.0f);
}

TEST(Drag, AWindowWithoutAreaKeepsTheLastFiniteValues)
{
    for (int pos : {0, 5, -5}) {
        EXPECT_EQ(DragCoord(pos, 0, 0.25f), 0.25f);
        EXPECT_EQ(DragCoord(pos, -3, -0.75f), -0.75f);
    }
    EXPECT_EQ(WindowAspect(800, 400, 1.0f), 2.0f);
    EXPECT_EQ(WindowAspect(600, 600, 2.0f), 1.0f);
    EXPECT_EQ(WindowAspect(800, 0, 1.5f), 1.5f);
    EXPECT_EQ(WindowAspect(0, 400, 1.5f), 1.5f);
    EXPECT_EQ(WindowAspect(0, 0, 1.5f), 1.5f);
}

TEST(Drag, OneSweepIsOneTurnShownBeforeTheWrap)
{
    EXPECT_EQ(DragAngle(-1.0f), 540.0f);
    EXPECT_EQ(DragAngle(0.0f), 360.0f);
    EXPECT_EQ(DragAngle(1.0f), 180.0f);
    EXPECT_EQ(DragAngle(-0.5f), 450.0f);
    EXPECT_EQ(DragAngle(0.5f), 270.0f);
    EXPECT_EQ(WrapAngle(540.0f), 180.0f);
    EXPECT_EQ(WrapAngle(360.0f), 0.0f);
    EXPECT_EQ(WrapAngle(359.5f), 359.5f);
    EXPECT_EQ(WrapAngle(208.8f), 208.8f);
    EXPECT_EQ(WrapAngle(-10.0f), 350.0f);
    for (int px = 0; px <= 600; px++) {
        float a = WrapAngle(DragAngle(DragCoord(px, 600, 0.0f)));
        ASSERT_TRUE(a >= 0.0f && a < 360.0f) << px;
    }
}

struct parsed3D {
    std::string full, tex;
    int large, high, bits, size;
    std::string rewritten;
};

parsed3D Parse(const std::string &name)
{
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    texfile3D f;
    memset(&f, 0x5A, sizeof f);
    ParseTextureName(buffer.data(), &f);
    return {f.fullfilename, f.texname, f.large, f.high, f.bits, f.textureSize,
            std::string(buffer.data(), name.size())};
}

TEST(TextureName, TheBaseNameCarriesNameWidthHeightAndDepth)
{
    parsed3D p = Parse("Texture2_256X256X24.RAW");
    EXPECT_EQ(p.full, "Texture2_256X256X24.RAW");
    EXPECT_EQ(p.tex, "Texture2");
    EXPECT_EQ(p.large, 256);
    EXPECT_EQ(p.high, 256);
    EXPECT_EQ(p.bits, 24);
    EXPECT_EQ(p.size, 196608);
    EXPECT_EQ(p.rewritten, std::string("Texture2 256 256 24\0RAW", 23))
        << "the caller's string is rewritten in place";

    p = Parse("dir/sub\\Texture1_128X128X32.RAW");
    EXPECT_EQ(p.full, "dir/sub\\Texture1_128X128X32.RAW");
    EXPECT_EQ(p.tex, "Texture1");
    EXPECT_EQ(p.size, 65536);
    EXPECT_EQ(p.rewritten.substr(0, 8), "dir/sub\\") << "the directory part is untouched";
    p = Parse("a\\b/Texture1_128X128X32.RAW");
    EXPECT_EQ(p.tex, "Texture1");
    EXPECT_EQ(p.bits, 32);

    p = Parse("Wide_256X128X24.RAW");
    EXPECT_EQ(p.large, 256);
    EXPECT_EQ(p.high, 128);
    EXPECT_EQ(p.size, 98304);
}

TEST(TextureName, NamesWithoutTheNumbersGiveZerosAndNoSize)
{
    for (const char *name : {"plain.raw", "", "dir/", "Tex_256x256x24.RAW", "Tex_256X",
                             "Tex_abcX12X24"}) {
        parsed3D p = Parse(name);
        EXPECT_EQ(p.size, 0) << name;
        EXPECT_EQ(p.bits, 0) << name;
    }
    EXPECT_EQ(Parse("Tex_256X").large, 256);
    EXPECT_EQ(Parse("").tex, "");
}

TEST(TextureName, SizesNoTextureMayHaveAreRefused)
{
    const struct { const char *name; int large, high, bits; } cases[] = {
        {"Big_99999999999X256X24.RAW", INT_MAX, 256, 24},
        {"Big_256X99999999999999999999999X24.RAW", 256, INT_MAX, 24},
        {"Neg_-99999999999X256X24.RAW", INT_MIN, 256, 24},
        {"Zero_0X256X24.RAW", 0, 256, 24},
        {"Neg_-256X256X24.RAW", -256, 256, 24},
        {"Deep_256X256X16.RAW", 256, 256, 16},
        {"Deep_256X256X-24.RAW", 256, 256, -24},
        {"Huge_65536X65536X32.RAW", 65536, 65536, 32},
        {"Wide_16385X1X24.RAW", 16385, 1, 24},
    };
    for (const auto &c : cases) {
        parsed3D p = Parse(c.name);
        EXPECT_EQ(p.large, c.large) << c.name;
        EXPECT_EQ(p.high, c.high) << c.name;
        EXPECT_EQ(p.bits, c.bits) << c.name;
        EXPECT_EQ(p.size, 0) << c.name;
    }
    EXPECT_EQ(Parse("Edge_16384X16384X32.RAW").size, 16384 * 16384 * 4);
    EXPECT_EQ(Parse("One_1X1X24.RAW").size, 3);
}

TEST(TextureName, LongNamesAreCutToTheirBuffers)
{
    std::string longTex(60, 'T');
    parsed3D p = Parse(longTex + "_64X32X24.RAW");
    EXPECT_EQ(p.tex, std::string(39, 'T'));
    EXPECT_EQ(p.large, 64) << "the cut name's tail is not read as a number";
    EXPECT_EQ(p.high, 32);
    EXPECT_EQ(p.size, 6144);

    std::string longPath = std::string(300, 'd') + "/Texture2_256X256X24.RAW";
    p = Parse(longPath);
    EXPECT_EQ(p.full, longPath.substr(0, 255));
    EXPECT_EQ(p.tex, "Texture2");
    EXPECT_EQ(p.size, 196608);
}

std::vector<unsigned char> Pattern(unsigned size)
{
    std::vector<unsigned char> texels((size_t)size * size * 4 + 4, 0xEE);
    CreateTex32((char *)texels.data(), size);
    return texels;
}

std::vector<int> Texel(const std::vector<unsigned char> &t, unsigned size, int row, int col)
{
    const unsigned char *p = &t[4 * ((size_t)size * row + col)];
    return {p[0], p[1], p[2], p[3]};
}

TEST(Pattern, GreyRampsLeftWhiteWithRampedAlphaRight)
{
    std::vector<unsigned char> t = Pattern(256);
    EXPECT_EQ(Texel(t, 256, 0, 0), (std::vector<int>{0, 0, 0, 255}));
    EXPECT_EQ(Texel(t, 256, 16, 16), (std::vector<int>{32, 32, 32, 255}));
    EXPECT_EQ(Texel(t, 256, 255, 127), (std::vector<int>{208, 208, 208, 255}));
    EXPECT_EQ(Texel(t, 256, 255, 128), (std::vector<int>{255, 255, 255, 240}));
    EXPECT_EQ(Texel(t, 256, 255, 255), (std::vector<int>{255, 255, 255, 192}));
    EXPECT_EQ(Texel(t, 256, 0, 200), (std::vector<int>{255, 255, 255, 0}));
    EXPECT_EQ(t[256 * 256 * 4], 0xEE) << "nothing beyond size x size texels";

    std::vector<unsigned char> one = Pattern(1);
    EXPECT_EQ(Texel(one, 1, 0, 0), (std::vector<int>{255, 255, 255, 0}));
    EXPECT_EQ(one[4], 0xEE);

    std::vector<unsigned char> none(8, 0xEE);
    CreateTex32((char *)none.data(), 0);
    CreateTex32((char *)none.data(), MAXPATTERNSIZE + 1);  // would never end
    EXPECT_EQ(none, std::vector<unsigned char>(8, 0xEE));
}

}  // namespace
