"""One verdict for any program's picture: the textures each program's model
reads, the expected picture (a band for every pixel) of each program, kept
for a state and window size once worked out, and the dispatch to each
program's verdict.

A band, once worked out, is kept in memory for the run and, where the
caller names folders for it, on disk for later runs: in a cache folder
(read and written) and in a trace pack's bands/ (read only, written by the
run that records the pack). A band file is named by the SHA-256 of all a
band depends on: the models' own source (MODELS_VERSION), the texture
files' contents, and the model's key (program, settings, window size, the
renderer's choice and precision), after the models' version, by which a
cache drops the bands of other models once a day old. A file that is
missing, unreadable, of another key or of the wrong shapes is worked out
again, never trusted."""

import collections
import glob
import hashlib
import json
import os
import pwd
import tempfile
import threading
import time
import zipfile

import numpy as np

from . import fendrik, quenby, tembrel, vorntest
from .bands import Band
from .probes import Verdict
from .texels import load

# Bands kept, the least recently used dropped first: enough for every state
# of a full run, so the second renderer and the traces' replays reuse the
# first renderer's. One 600 x 600 band takes about 3 MB.
KEPT_BANDS = 200
# Each program's model: verdict(program, settings, image, count, tol,
# textures, precision) judges a picture of it; precision is what the
# renderer says of its own (Renderer.info: "point_granularity", its
# GL_SMOOTH_POINT_SIZE_GRANULARITY), None where it says nothing.
MODELS = {"vorntest5": vorntest, "vorntest": vorntest, "fendrik": fendrik,
          "tembrel": tembrel, "quenby": quenby}
# The texture files the models read: (attribute, file name, side, bits).
TEXTURE_FILES = [("dial", "Texture2_256X256X24.RAW", 256, 24),
                 ("card", "Texture1_64X64X24.RAW", 64, 24),
                 ("hands", "Texture1_128X128X32.RAW", 128, 32)]
# The largest band a file may hold, in pixels a side: larger is no band of
# the suite's windows, and is not read.
LARGEST_SIDE = 4096
BAND_ARRAYS = ("lo", "hi", "judged", "drawn", "key")
# A cache's bands of other models than these, left this long, are removed
# as a run starts: each change to the models would leave a cache's worth.
STALE_SECONDS = 24 * 3600


def sources_digest():
    """The SHA-256 of the models' sources, every expected/*.py in name
    order: a band worked out by other models is another band."""
    digest = hashlib.sha256()
    for path in sorted(glob.glob(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                              "*.py"))):
        with open(path, "rb") as f:
            digest.update(os.path.basename(path).encode() + b"\0" + f.read() + b"\0")
    return digest.hexdigest()


MODELS_VERSION = sources_digest()


def default_cache():
    """The documented cache folder of bands, ~/.cache/vorn-suite/bands of
    the user running the command, found without the environment."""
    return os.path.join(pwd.getpwuid(os.getuid()).pw_dir, ".cache", "vorn-suite", "bands")


def cache_folder(given):
    """The band cache a command's option names: the default where it names
    none (None), no cache for an empty name."""
    if given is None:
        return default_cache()
    return os.path.abspath(given) if given else None


def canonical(value):
    """A key as plain JSON values, the same text in every run: floats
    exact (as hex), tuples, named tuples and numpy scalars as lists and
    Python numbers."""
    if isinstance(value, np.generic):
        value = value.item()
    if isinstance(value, bool) or value is None or isinstance(value, (int, str)):
        return value
    if isinstance(value, float):
        return {"f": value.hex()}
    if isinstance(value, dict):
        return [[canonical(k), canonical(v)] for k, v in sorted(value.items())]
    if isinstance(value, (tuple, list)):
        named = type(value).__name__ if hasattr(value, "_fields") else None
        items = [canonical(v) for v in value]
        return {named: items} if named else items
    raise TypeError("a band's key holds %r, which has no stable text" % (value,))


class Textures:
    """The texture files the models sample, from the programs' directory,
    with the bands worked out from them. cache: a folder where bands are
    read and written (None: none); packed: a pack's bands folder, read
    only (None: none)."""

    def __init__(self, directory, cache=None, packed=None):
        contents = hashlib.sha256()
        for attribute, name, side, bits in TEXTURE_FILES:
            texture = load(os.path.join(directory, name), side, side, bits)
            setattr(self, attribute, texture)
            contents.update(name.encode() + b"\0" + np.ascontiguousarray(texture).tobytes())
        self.contents = contents.hexdigest()
        self.cache, self.packed = cache, packed
        if cache:
            prune(cache)
        self.exports = []           # folders every band served is written into
        self._bands = collections.OrderedDict()
        self._lock = threading.Lock()

    def keep_in(self, folder):
        """Writes every band served from now on into folder too (a pack's
        bands, as it is recorded)."""
        os.makedirs(folder, exist_ok=True)
        with self._lock:
            self.exports.append(folder)

    def band(self, key, make):
        """The band for key (what it depends on besides the textures and the
        models), made by make() where neither memory nor a band folder has
        it."""
        text = json.dumps([MODELS_VERSION, self.contents, canonical(key)], separators=(",", ":"))
        name = "%s-%s.npz" % (MODELS_VERSION[:16], hashlib.sha256(text.encode()).hexdigest())
        with self._lock:
            band = self._bands.get(key)
            if band is not None:
                self._bands.move_to_end(key)
            exports = list(self.exports)
        made = False
        if band is None:
            for folder in (self.packed, self.cache):
                band = read_band(folder, name, text) if folder else None
                if band is not None:
                    break
            else:
                band, made = make().freeze(), True
            with self._lock:
                self._bands[key] = band
                while len(self._bands) > KEPT_BANDS:
                    self._bands.popitem(last=False)
        # The cache's files are stored as they are, which costs a run that
        # fills it next to nothing; a pack's travel, deflated to a tenth.
        for folder, deflated in ([(self.cache, False)] if made and self.cache else []) + [
                (folder, True) for folder in exports]:
            if not os.path.exists(os.path.join(folder, name)):
                write_band(folder, name, text, band, deflated)
        return band


def prune(cache):
    """Removes the cache's bands of other models (named by their version)
    left for STALE_SECONDS: a band file is only ever a cache."""
    try:
        names = os.listdir(cache)
    except OSError:
        return
    now = time.time()
    for name in names:
        if name.endswith(".npz") and not name.startswith(MODELS_VERSION[:16]):
            path = os.path.join(cache, name)
            try:
                if now - os.path.getmtime(path) > STALE_SECONDS:
                    os.remove(path)
            except OSError:
                pass


def read_band(folder, name, text):
    """The band in folder/name when it is one of key text, lies inside the
    folder and has the shapes and types of a frozen band; else None."""
    path = os.path.join(folder, name)
    real = os.path.realpath(path)
    if not real.startswith(os.path.join(os.path.realpath(folder), "")) or \
            not os.path.isfile(real):
        return None
    try:
        with open(real, "rb") as f, np.load(f, allow_pickle=False) as data:
            # Each array's size is read from its header before it is: a file
            # claiming more than a band of the largest window is refused unread.
            if sorted(data.files) != sorted(BAND_ARRAYS) or sum(
                    i.file_size for i in data.zip.infolist()) > 10 * LARGEST_SIDE ** 2:
                return None
            if str(data["key"][()]) != text:
                return None
            lo, hi, judged, drawn = (data[a] for a in BAND_ARRAYS[:4])
    except Exception:                   # noqa: BLE001 - a broken cache file is no band
        return None
    if not (lo.dtype == hi.dtype == np.uint8 and judged.dtype == drawn.dtype == bool
            and lo.ndim == 3 and lo.shape[2] == 3 and hi.shape == lo.shape
            and judged.shape == drawn.shape == lo.shape[:2]
            and 0 < min(lo.shape[:2]) and max(lo.shape[:2]) <= LARGEST_SIDE
            and (lo <= hi).all()):
        return None
    return Band.of(lo, hi, judged, drawn)


def write_band(folder, name, text, band, deflated=True):
    """folder/name holding the band and its key text, written whole or not
    at all (a temporary file renamed over it): judges in other threads and
    processes read the folder meanwhile. A folder that cannot be written
    keeps no band."""
    try:
        os.makedirs(folder, exist_ok=True)
        handle, temporary = tempfile.mkstemp(prefix=".band-", suffix=".tmp", dir=folder)
    except OSError:
        return
    try:
        with os.fdopen(handle, "wb") as f, \
                zipfile.ZipFile(f, "w", zipfile.ZIP_DEFLATED if deflated else zipfile.ZIP_STORED,
                                compresslevel=1 if deflated else None) as archive:
            arrays = dict(lo=band.lo, hi=band.hi, judged=band.judged, drawn=band.drawn,
                          key=np.array(text))
            for array_name, array in arrays.items():
                with archive.open(array_name + ".npy", "w", force_zip64=True) as member:
                    np.lib.format.write_array(member, np.asanyarray(array),
                                              allow_pickle=False)
        # Readable by all, as the pack's other files are (mkstemp's is not).
        os.chmod(temporary, 0o644)
        os.replace(temporary, os.path.join(folder, name))
    except OSError:
        try:
            os.remove(temporary)
        except OSError:
            pass


def load_texels(directory, cache=None, packed=None):
    return Textures(directory, cache, packed)


def judge(program, settings, image, count, tol, textures, precision=None):
    """The verdict on a picture of program in a state with these settings
    (the render state, or the clock's time); count is the frame count the
    picture was taken at; precision what the renderer says of its own. A
    model that fails fails the state."""
    if program not in MODELS:
        raise KeyError("no model for %s" % program)
    try:
        return MODELS[program].verdict(program, settings, image, count, tol, textures,
                                       precision)
    except Exception as error:      # noqa: BLE001 - a broken model fails its state
        return Verdict("FAIL", note="the model failed: %r" % error)
