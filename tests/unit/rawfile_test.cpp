// Reading raw texture files and sizing their buffers.
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

static std::string WriteTemp(const char *name, const std::vector<unsigned char> &bytes)
{
    std::string path = testing::TempDir() + name;
    FILE *f = fopen(path.c_str(), "wb");
    if (!bytes.empty())
        fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return path;
}

static std::vector<unsigned char> Pattern(size_t n)
{
    std::vector<unsigned char> bytes(n);
    for (size_t i = 0; i < n; i++)
        bytes[i] = (unsigned char)(i * 31 + 7);
    return bytes;
}

TEST(LoadFile, ReadsExactlyTheAskedBytesOfAnExactOrLongerFile)
{
    std::vector<unsigned char> bytes = Pattern(48);
    for (size_t extra : {0, 1, 100}) {
        std::vector<unsigned char> file = bytes;
        file.resize(48 + extra, 0xEE);
        std::string path = WriteTemp("exact.raw", file);
        std::vector<unsigned char> buffer(64, 0xAA);
        testing::internal::CaptureStdout();
        EXPECT_EQ(LoadFile(buffer.data(), path.c_str(), 48), 1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buffer.begin()));
        EXPECT_EQ(buffer[48], 0xAA) << "nothing written past bufferSize";
    }
}

TEST(LoadFile, ReportsMissingAndShortFiles)
{
    unsigned char buffer[16] = {0};
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadFile(buffer, (testing::TempDir() + "no-such.raw").c_str(), 16), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cant open file !\n");

    std::string path = WriteTemp("short.raw", Pattern(15));
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadFile(buffer, path.c_str(), 16), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cant read file !\n");
    EXPECT_EQ(buffer[0], Pattern(15)[0]) << "the part read stays in the buffer";

    path = WriteTemp("empty.raw", {});
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadFile(buffer, path.c_str(), 16), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cant read file !\n");
}

TEST(TextureBytes, SizesTheSuitesFiles)
{
    EXPECT_EQ(TextureBytes(256, 256, 24), 196608);
    EXPECT_EQ(TextureBytes(64, 64, 24), 12288);
    EXPECT_EQ(TextureBytes(128, 128, 32), 65536);
    EXPECT_EQ(TextureBytes(256, 128, 24), 98304);
    EXPECT_EQ(TextureBytes(1, 1, 24), 3);
}

TEST(TextureBytes, RefusesSizesNoTextureCanHave)
{
    const int refused[][3] = {
        {0, 256, 24},     {256, 0, 24},         {-256, 256, 24},   {256, -1, 32},
        {256, 256, 16},   {256, 256, 8},        {256, 256, 0},     {256, 256, -24},
        {65536, 65536, 32}, {INT_MAX, INT_MAX, 24}, {INT_MIN, 2, 24}, {16385, 1, 24},
    };
    for (const auto &r : refused)
        EXPECT_EQ(TextureBytes(r[0], r[1], r[2]), 0) << r[0] << " x " << r[1] << " x " << r[2];
    // The largest side the loaders take still fits the int byte counts.
    EXPECT_EQ(TextureBytes(MAXTEXTURESIDE, MAXTEXTURESIDE / 4, 32), 268435456);
    EXPECT_EQ(TextureBytes(MAXTEXTURESIDE, MAXTEXTURESIDE, 32), 1073741824);
}
