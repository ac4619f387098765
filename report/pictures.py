"""The report's image work: difference images between renderers, the
reduced reference images and the contact sheet by ImageMagick; a verdict's
expected picture and mismatch mask by Pillow, straight from their arrays.
Pixel counts are taken here from the decoded pixels."""

import os
import subprocess

from PIL import Image

from progdriver.images import CONVERT
FONT = "DejaVu-Sans"

# Reference images are kept at a quarter of the window's size, each pixel the
# mean of a 4 x 4 block, so they stay small in the repository; a run is
# reduced the same way before the two are compared.
REFERENCE_SCALE = "25%"


def differing(a, b, tol):
    """Pixels whose channels differ by more than tol; None if the sizes differ."""
    if (a.width, a.height) != (b.width, b.height):
        return None
    if a.data == b.data:
        return 0
    count = 0
    da, db = a.data, b.data
    for i in range(0, len(da), 3):
        if abs(da[i] - db[i]) > tol or abs(da[i + 1] - db[i + 1]) > tol \
                or abs(da[i + 2] - db[i + 2]) > tol:
            count += 1
    return count


def save_verdict(verdict, stem):
    """The verdict's expected picture and mismatch mask as stem-expected.png
    and stem-mask.png; returns their paths by kind, none for a verdict
    without them."""
    paths = {}
    for kind, array in (("expected", verdict.expected), ("mask", verdict.mask)):
        if array is not None:
            paths[kind] = "%s-%s.png" % (stem, kind)
            # Fast compression: these are written for every state on every
            # renderer, while the next state is being driven.
            Image.fromarray(array).save(paths[kind], compress_level=1)
    return paths


def differing_text(count):
    """How much two pictures differ, as differing() counted it."""
    return "their sizes differ" if count is None else "%d pixels differ" % count


def diff_image(a_path, b_path, out, tol):
    """ImageMagick's picture of where two images differ by more than about
    tol: red over a faded copy of the first."""
    os.makedirs(os.path.dirname(out), exist_ok=True)
    fuzz = "%.2f%%" % (100.0 * tol / 255)
    subprocess.run(["compare", "-fuzz", fuzz, "-highlight-color", "red", a_path, b_path, out],
                   capture_output=True, timeout=60)
    return out if os.path.exists(out) else None


def reduce(path, out):
    os.makedirs(os.path.dirname(out), exist_ok=True)
    # Stripped of ImageMagick's time stamps, so an unchanged picture makes
    # the same file and renewing the references touches only what changed.
    subprocess.run([CONVERT, path, "-scale", REFERENCE_SCALE, "-strip", out], check=True,
                   timeout=60)
    return out


def contact_sheet(entries, out, columns=8, cell=160):
    """One PNG of many pictures, each labelled; entries are (path, label)."""
    if not entries:
        return None
    def command(labels):
        args = ["montage", "-font", FONT] if labels else ["montage"]
        for path, label in entries:
            if labels:
                args += ["-label", label.replace("%", "%%")]
            args.append(path)
        return args + ["-tile", "%dx" % columns, "-geometry",
                       "%dx%d+4+4" % (cell, cell), "-pointsize", "9",
                       "-background", "#eeeeee", "-depth", "8", out]
    if subprocess.run(command(True), capture_output=True, timeout=300).returncode != 0:
        # No usable font: the sheet without its labels.
        subprocess.run(command(False), capture_output=True, timeout=300)
    return out if os.path.exists(out) else None
