// The pictures of the suite's raw texture files, drawn into buffers that the
// caller provides. Row 0 of a buffer is the first row of its file, the row
// that OpenGL places at texture coordinate t = 0. Nothing here touches files.
#ifndef TOOLS_TEXTUREGEN_H
#define TOOLS_TEXTUREGEN_H

// The clock's dial (RGB). Texel (row r, column c) shows the point
// x = (c + 0.5 - 128) / 128, y = (r + 0.5 - 128) / 128 of the clock, whose
// outer radius is 1, so 12 o'clock lies at high rows. The corners, which the
// clock never shows, carry orientation and alignment marks for the programs
// that show the whole square.
const int DIALSIZE = 256;
const int DIALBYTES = DIALSIZE * DIALSIZE * 3;
const float DIALFACE = 0.80f;      // radius where the bezel begins
const int DIALCORNER = 24;         // side of the coloured corner blocks

// A small orientation and sampling test picture (RGB).
const int TESTSIZE = 64;
const int TESTBYTES = TESTSIZE * TESTSIZE * 3;
const int TESTCORNER = 8;          // side of the coloured corner blocks

// The clock's three hands (RGBA): hour, minute and second hand in bands of
// HANDBAND rows from row 0 on, the fourth band empty. Each hand runs along its
// band, tail at column 0, tip towards the last column; the pivot lies on the
// centre of column HANDPIVOT and of band row HANDPIVOT.
const int HANDSSIZE = 128;
const int HANDSBYTES = HANDSSIZE * HANDSSIZE * 4;
const int HANDBAND = 32;
const int HANDPIVOT = 14;
const float HANDCOLUMN = 1.016101f / 128;  // clock units per column
const float HANDROW = 0.190519f / 32;      // clock units per row
// The texels that the clock's time readout samples (see MakeHandsTexture):
// opaque white, across the minute and second bands.
const int READOUTCOLUMNS = 17;
const int READOUTFIRSTROW = 44;
const int READOUTLASTROW = 83;

void MakeDialTexture(unsigned char *rgb);
void MakeTestTexture(unsigned char *rgb);
void MakeHandsTexture(unsigned char *rgba);

// The files that the programs read, and what fills each of them.
struct texturefile3D {
    const char *name;
    int bytes;
    void (*make)(unsigned char *buffer);
};
extern const texturefile3D textureFiles[];
extern const int textureFilesCount;

#endif
