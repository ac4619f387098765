"""The report's image work: the pictures with their thumbnails, difference
images between renderers, the reduced reference images and the contact
sheet by ImageMagick; a verdict's expected picture and mismatch mask, with
their thumbnails, by Pillow, straight from their arrays, and the thumbnail
of a picture another program wrote (a replayer's). Pixel counts are taken
here from the decoded pixels."""

import os
import subprocess
import threading

import numpy as np
from PIL import Image

from progdriver.images import CONVERT

from . import options as opts
FONT = "DejaVu-Sans"

# Reference images are kept at a quarter of the window's size, each pixel the
# mean of a 4 x 4 block, so they stay small in the repository; a run is
# reduced the same way before the two are compared.
REFERENCE_SCALE = "25%"

# The page shows thumbnails no larger than this, each beside its full picture
# ("name.png" has "name.thumb.png"), made in the same ImageMagick run that
# writes the picture, so a page of thousands of pictures costs no more to
# write than one of a few. Each thumbnail pixel is the mean of a block of the
# picture's (-scale): far cheaper than a filtered resize.
THUMBNAIL_SIDE = 160
THUMBNAIL = "%dx%d>" % (THUMBNAIL_SIDE, THUMBNAIL_SIDE)


def thumbnail_path(path):
    """Where the thumbnail of a picture at path is kept."""
    root, ext = os.path.splitext(path)
    return root + ".thumb" + ext


def save(image, path):
    """Writes a picture (images.Image) as a PNG at path and its thumbnail
    beside it; returns path."""
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    ppm = b"P6\n%d %d\n255\n" % (image.width, image.height) + image.data
    subprocess.run([CONVERT, "ppm:-", "-write", path, "-scale", THUMBNAIL,
                    thumbnail_path(path)], input=ppm, check=True, timeout=60)
    return path


def write_thumbnail(picture, path):
    """Writes the thumbnail of a picture (a PIL image, changed in place)
    whose full picture is at path: block means, never enlarged, as
    convert's -scale THUMBNAIL makes them."""
    picture.thumbnail((THUMBNAIL_SIDE, THUMBNAIL_SIDE), Image.Resampling.BOX,
                      reducing_gap=None)
    picture.save(thumbnail_path(path), compress_level=1)


def add_thumbnail(path):
    """The thumbnail of the picture file at path, beside it."""
    with Image.open(path) as picture:
        write_thumbnail(picture.convert("RGB"), path)


def differing(a, b, tol):
    """Pixels whose channels differ by more than tol; None if the sizes differ."""
    if (a.width, a.height) != (b.width, b.height):
        return None
    if a.data == b.data:
        return 0
    da = np.frombuffer(a.data, np.uint8).reshape(-1, 3).astype(np.int16)
    db = np.frombuffer(b.data, np.uint8).reshape(-1, 3).astype(np.int16)
    return int((np.abs(da - db) > tol).any(axis=1).sum())


def save_verdict(verdict, out, name):
    """The verdict on the picture out/name.png (name is renderer/program/
    state): its mismatch mask as out/name-mask.png, and the model's expected
    picture, which depends on the state and the window's size alone, once
    for every renderer as out/expected/program/state-WxH.png; each with its
    thumbnail beside it as save() makes them. Returns their paths by kind,
    none for a verdict without them."""
    paths = {}
    if verdict.mask is not None:
        paths["mask"] = opts.within(out, name + "-mask.png")
        write_array(verdict.mask, paths["mask"])
    if verdict.expected is not None:
        height, width = verdict.expected.shape[:2]
        state = name.split("/", 1)[1]
        paths["expected"] = opts.within(out, "expected",
                                        "%s-%dx%d.png" % (state, width, height))
        if not os.path.exists(paths["expected"]):
            write_array(verdict.expected, paths["expected"])
    return paths


def write_array(array, path):
    """An RGB array as a PNG at path, with its thumbnail; the file appears
    whole, as replays side by side may write the same expected picture."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    picture = Image.fromarray(array)
    partial = "%s.%d.part" % (path, threading.get_ident())
    # Fast compression: these are written for every state on every
    # renderer, while the next state is being driven.
    picture.save(partial, format="PNG", compress_level=1)
    write_thumbnail(picture, path)
    os.replace(partial, path)


def differing_text(count):
    """How much two pictures differ, as differing() counted it."""
    return "their sizes differ" if count is None else "%d pixels differ" % count


def diff_image(a_path, b_path, out, tol):
    """ImageMagick's picture of where two images differ by more than about
    tol: red over a faded copy of the first; with its thumbnail. convert's
    -compare draws what the compare command draws, and the same run writes
    the thumbnail."""
    os.makedirs(os.path.dirname(out), exist_ok=True)
    fuzz = "%.2f%%" % (100.0 * tol / 255)
    subprocess.run([CONVERT, a_path, b_path, "-fuzz", fuzz, "-define",
                    "compare:highlight-color=red", "-compare", "-write", out,
                    "-scale", THUMBNAIL, thumbnail_path(out)],
                   capture_output=True, timeout=60)
    return out if os.path.exists(out) else None


def reduce(path, out):
    os.makedirs(os.path.dirname(out), exist_ok=True)
    # Stripped of ImageMagick's time stamps, so an unchanged picture makes
    # the same file and renewing the references touches only what changed.
    subprocess.run([CONVERT, path, "-scale", REFERENCE_SCALE, "-strip", out], check=True,
                   timeout=60)
    return out


def report_sheet(report):
    """The report's contact sheet: every state's picture on the first
    renderer that works."""
    working = [r for r in report.renderers if r.info]
    if not working:
        return
    first = working[0].name
    entries = [(sheet_picture(os.path.join(report.out, report.pictures[(first, s.id)][0])),
                s.program + "\n" + s.name.replace("+", "+\n"))
               for _, built, states in report.programs if built for s in states
               if (first, s.id) in report.pictures]
    report.sheet = contact_sheet(entries, opts.within(report.out, "contact-sheet.png"))


def sheet_picture(path):
    """What the sheet shows of a picture: its thumbnail, the size of a cell
    already, where it has one (montage then decodes and scales a tenth of
    the pixels), else the picture."""
    thumb = thumbnail_path(path)
    return thumb if os.path.exists(thumb) else path


def contact_sheet(entries, out, columns=8, cell=THUMBNAIL_SIDE):
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
