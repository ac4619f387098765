// The vorntest5 loader's reading of a texture file name: the texture's own
// name, width, height and depth are words of the base name, as in
// "Texture2_256X256X24.RAW".
#include "shell.h"
#include "vorntest.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The part after the last '/' or backslash, whichever comes later.
static char *BaseName(char *filename)
{
    char *base = filename;
    for (char *p = filename; *p != '\0'; p++)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    return base;
}

// Reads one decimal number as "%d" would, but saturates where "%d" would
// overflow. Returns 0 and leaves *value alone when no number is there.
static int ReadNumber(const char **text, int *value)
{
    char *end;
    errno = 0;
    long n = strtol(*text, &end, 10);
    if (end == *text)
        return 0;
    if (n > INT_MAX || (errno == ERANGE && n > 0))
        n = INT_MAX;
    if (n < INT_MIN || (errno == ERANGE && n < 0))
        n = INT_MIN;
    *value = (int)n;
    *text = end;
    return 1;
}

void ParseTextureName(char *filename, texfile3D *f)
{
    snprintf(f->fullfilename, sizeof f->fullfilename, "%s", filename);
    f->texname[0] = '\0';
    f->large = f->high = f->bits = 0;

    char *base = BaseName(filename);
    size_t length = strlen(base);
    for (size_t i = 0; i < length; i++) {
        if (base[i] == 'X' || base[i] == '_')
            base[i] = ' ';
        else if (base[i] == '.')
            base[i] = '\0';
    }

    // The name is cut to 39 characters; the rest of its word is skipped, so
    // a long name never lends its tail to the numbers.
    int used = 0;
    if (sscanf(base, " %39s%n", f->texname, &used) == 1) {
        const char *p = base + used;
        while (*p != '\0' && !isspace((unsigned char)*p))
            p++;
        if (ReadNumber(&p, &f->large) && ReadNumber(&p, &f->high))
            ReadNumber(&p, &f->bits);
    }
    f->textureSize = TextureBytes(f->large, f->high, f->bits);
}
