// Texture objects from raw texture files, one per texture slot.
#include "shell.h"

#include <cstdlib>

void UploadTexture(int t, int width, int height, int bits)
{
    glGenTextures(1, &texturesID[t]);
    glBindTexture(GL_TEXTURE_2D, texturesID[t]);
    if (textures[t] != nullptr) {
        GLenum format = bits == 32 ? GL_RGBA : GL_RGB;
        // The GL pads each source row to the unpack alignment of 4; a row of
        // another length (a 1 or 2 texel wide RGB image) would make it read
        // past the buffer, so such an image goes up byte-aligned.
        bool padded = (width * (bits / 8)) % 4 != 0;
        if (padded)
            glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, bits / 8, width, height, 0, format,
                     GL_UNSIGNED_BYTE, textures[t]);
        if (padded)
            glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    }
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

void LoadTexture(const char *name, int size, int bits, int t)
{
    int bytes = TextureBytes(size, size, bits);
    if (bytes > 0) {
        // Zeroed, so a missing or short file uploads black, never stale memory.
        textures[t] = (unsigned char *)calloc((size_t)bytes, 1);
        if (textures[t] == nullptr)
            CloseAll();
        LoadFile(textures[t], name, bytes);
    }
    UploadTexture(t, size, size, bits);
    glEnable(GL_TEXTURE_2D);
}
