// Raw texture files: reading them and sizing their buffers.
#include "shell.h"

#include <climits>
#include <cstdio>

int LoadFile(void *buffer, const char *name, int bufferSize)
{
    FILE *file = fopen(name, "rb");
    if (file == nullptr) {
        printf("Cant open file !\n");
        return 0;
    }
    if (bufferSize <= 0 || fread(buffer, (size_t)bufferSize, 1, file) != 1) {
        printf("Cant read file !\n");
        fclose(file);
        return 0;
    }
    fclose(file);
    return 1;
}

int TextureBytes(int width, int height, int bits)
{
    if (bits != 24 && bits != 32)
        return 0;
    if (width <= 0 || height <= 0 || width > MAXTEXTURESIDE || height > MAXTEXTURESIDE)
        return 0;
    // 64-bit product: 16384 x 16384 x 4 does not fit an int.
    long long bytes = (long long)width * height * (bits / 8);
    return bytes > INT_MAX ? 0 : (int)bytes;
}
