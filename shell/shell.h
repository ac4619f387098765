// The demo shell: what every program of the suite shares.
//
// Each program defines the globals below under these names; the shell's
// callbacks and loaders read and write them. A program links only the pieces
// it uses, so a program without texture slots need not define them.
#ifndef SHELL_SHELL_H
#define SHELL_SHELL_H

#include <GL/glut.h>

// Defined by every program.
extern int windowID;             // the program's only GLUT window
void IdleFunc(void);             // the program's per-frame callback

// Defined by programs with texture slots (all but vorntest and quenby).
extern unsigned char *textures[]; // pixel buffer per slot, null while empty
extern GLuint texturesID[];       // texture object name per slot, 0 while empty
extern const int texturesCount;   // number of slots

// Standard callbacks.
void KeyboardFunc(unsigned char key, int x, int y); // Esc shuts down
void VisibilityFunc(int vis);     // runs IdleFunc only while visible
[[noreturn]] void CloseAll(void); // destroy window, free slots, exit(1)

const unsigned char ESCAPE_KEY = 27;
const int SHUTDOWN_STATUS = 1;    // every shutdown, the normal Esc quit included

// Raw texture files: headerless R,G,B(,A) bytes, width x height x depth/8.
int LoadFile(void *buffer, const char *name, int bufferSize);

// Byte length of a raw image, or 0 if the width, height or depth is one no
// texture may have: not positive, a depth other than 24 or 32, or a size too
// large for the GL or for the int byte counts of the loaders.
int TextureBytes(int width, int height, int bits);
const int MAXTEXTURESIDE = 16384;

// Reads the file into a new buffer for slot t, then creates, fills and binds
// the slot's texture object and enables GL_TEXTURE_2D.
void LoadTexture(const char *name, int size, int bits, int t);

// The upload shared by the file-based loaders: a new texture object for slot
// t, made from the slot's buffer, left bound with linear filtering. A buffer
// of null (a refused size) gives a texture object with no image.
void UploadTexture(int t, int width, int height, int bits);

#endif
