// libFuzzer target: vorntest5's reading of a texture file name and its size
// checks. Any name must leave the name buffers terminated within their
// bounds and yield either a refusal or a byte count that a real texture of
// the parsed width, height and depth has.
#include "shell.h"
#include "vorntest.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Exactly the input and its terminator, on the heap, so a write past the
    // caller's string is caught.
    char *filename = (char *)malloc(size + 1);
    memcpy(filename, data, size);
    filename[size] = '\0';
    texfile3D *f = (texfile3D *)malloc(sizeof(texfile3D));
    memset(f, 0x5A, sizeof *f);

    ParseTextureName(filename, f);

    if (memchr(f->fullfilename, '\0', sizeof f->fullfilename) == nullptr ||
        memchr(f->texname, '\0', sizeof f->texname) == nullptr)
        abort();
    if (strncmp(f->fullfilename, (const char *)data, strlen(f->fullfilename)) != 0)
        abort();
    if (f->textureSize != 0) {
        if (f->bits != 24 && f->bits != 32)
            abort();
        if (f->large < 1 || f->large > MAXTEXTURESIDE || f->high < 1 || f->high > MAXTEXTURESIDE)
            abort();
        if ((long long)f->textureSize != (long long)f->large * f->high * (f->bits / 8))
            abort();
    }
    if (f->textureSize != TextureBytes(f->large, f->high, f->bits))
        abort();

    free(f);
    free(filename);
    return 0;
}
