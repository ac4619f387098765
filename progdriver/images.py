"""Pictures of a program's window: 8-bit RGB pixels read back from the X
server or from a file, addressed from the top-left, and written out as PNG by
ImageMagick."""

import os
import subprocess

CONVERT = "/usr/bin/convert"
# How long a helper (ImageMagick, xdotool, xwininfo) may take before it is
# taken for hung: a machine busy with other work was seen to stall every
# process for a minute at a time.
TOOL_SECONDS = 300


class Image:
    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def pixel(self, px, py):
        """RGB at column px, row py counted from the top."""
        i = 3 * (py * self.width + px)
        return tuple(self.data[i:i + 3])

    def save(self, path):
        """Writes a PNG; returns its path."""
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        header = b"P6\n%d %d\n255\n" % (self.width, self.height)
        subprocess.run([CONVERT, "ppm:-", path], input=header + self.data, check=True)
        return path


def load(path):
    """Any picture ImageMagick reads, as an Image."""
    ppm = subprocess.run([CONVERT, path, "-depth", "8", "ppm:-"], capture_output=True,
                         check=True, timeout=TOOL_SECONDS).stdout
    return parse_ppm(ppm)


def parse_ppm(ppm):
    fields = []
    pos = 0
    while len(fields) < 4:
        while ppm[pos:pos + 1].isspace():
            pos += 1
        if ppm[pos:pos + 1] == b"#":
            pos = ppm.index(b"\n", pos)
            continue
        end = pos
        while not ppm[end:end + 1].isspace():
            end += 1
        fields.append(ppm[pos:end])
        pos = end
    assert fields[0] == b"P6" and fields[3] == b"255", fields
    width, height = int(fields[1]), int(fields[2])
    pos += 1
    return Image(width, height, ppm[pos:pos + 3 * width * height])
