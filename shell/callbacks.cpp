// Esc and the orderly shutdown of the programs with texture slots.
#include "shell.h"

#include <cstdlib>

void KeyboardFunc(unsigned char key, int, int)
{
    if (key == ESCAPE_KEY)
        CloseAll();
}

// The window goes first, while the GL still owns copies of the textures;
// the buffers follow in slot order. Empty slots (a shutdown during loading)
// are skipped.
void CloseAll(void)
{
    glutDestroyWindow(windowID);
    for (int t = 0; t < texturesCount; t++)
        if (textures[t] != nullptr)
            free(textures[t]);
    exit(SHUTDOWN_STATUS);
}
