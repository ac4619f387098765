// maketextures OUTDIR: writes the suite's raw texture files into OUTDIR.
#include "texturegen.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// Writes the whole buffer; a file left half-written is removed, so that a
// failed run never leaves a file that looks current to the build.
static bool WriteFile(const std::string &path, const unsigned char *data, int bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        fprintf(stderr, "maketextures: cannot create %s: %s\n", path.c_str(), strerror(errno));
        return false;
    }
    bool ok = fwrite(data, (size_t)bytes, 1, file) == 1;
    int err = errno;
    if (fclose(file) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        fprintf(stderr, "maketextures: cannot write %s: %s\n", path.c_str(), strerror(err));
        remove(path.c_str());
    }
    return ok;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: maketextures OUTDIR\n");
        return 2;
    }
    for (int i = 0; i < textureFilesCount; i++) {
        const texturefile3D *f = &textureFiles[i];
        unsigned char *buffer = (unsigned char *)calloc((size_t)f->bytes, 1);
        if (buffer == nullptr) {
            fprintf(stderr, "maketextures: out of memory\n");
            return 1;
        }
        f->make(buffer);
        bool ok = WriteFile(std::string(argv[1]) + "/" + f->name, buffer, f->bytes);
        free(buffer);
        if (!ok)
            return 1;
    }
    return 0;
}
