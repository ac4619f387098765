// vorntest5's texture loader: the sizes come from the file's own name.
#include "shell.h"
#include "vorntest.h"

#include <cstdio>
#include <cstdlib>

// The description line comes first, so it shows even for a missing file.
// Sizes that no texture may have are refused before anything is allocated
// or read: the slot then gets a texture object without an image.
void LoadTexture(char *filename, int t)
{
    texfile3D f;
    ParseTextureName(filename, &f);
    printf("<%s> <%s> %d X %d X %d bits\n", f.fullfilename, f.texname, f.large, f.high,
           f.bits);
    if (f.textureSize > 0) {
        // Zeroed, so a missing or short file uploads black, never stale memory.
        textures[t] = (unsigned char *)calloc((size_t)f.textureSize, 1);
        if (textures[t] == nullptr)
            CloseAll();
        LoadFile(textures[t], f.fullfilename, f.textureSize);
    } else {
        printf("Cant use size !\n");
    }
    UploadTexture(t, f.large, f.high, f.bits);
    glEnable(GL_TEXTURE_2D);
}
