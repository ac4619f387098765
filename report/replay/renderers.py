"""The renderers a headless replay can use: Mesa's Gallium drivers that make
a context on EGL's surfaceless platform, the machine's default renderer
there (on a machine with a GPU, its own driver), and renderers named on the
command line by their environment. What a renderer says of itself comes
from piglit's glinfo, run on the surfaceless platform under its environment.

On the surfaceless platform Mesa takes GALLIUM_DRIVER into account only on
its software path: where a driver does not answer to GALLIUM_DRIVER alone
(zink, say, on a machine whose only Vulkan driver is lavapipe, or llvmpipe
on a machine with a GPU), LIBGL_ALWAYS_SOFTWARE=1 is tried with it."""

import concurrent.futures
import glob
import re
import subprocess

from .. import renderers as rd
from ..renderers import Renderer, RendererError, wanted_names, wanted_of
from .retrace import BITS, environment

GALLIUM_CANDIDATES = rd.GALLIUM_CANDIDATES


def glinfo():
    found = sorted(glob.glob("/usr/lib/*/piglit/bin/glinfo"))
    return found[0] if found else None


def renderer_info(env):
    """GL_RENDERER and GL_VERSION under env on the surfaceless platform, as
    a Renderer's info; None where no context can be made."""
    program = glinfo()
    if program is None:
        raise RendererError("piglit's glinfo is not installed (Debian's piglit)")
    full = environment(env)
    full["PIGLIT_PLATFORM"] = "surfaceless_egl"
    try:
        done = subprocess.run([program, "-auto"], env=full, capture_output=True, timeout=60)
    except subprocess.TimeoutExpired:
        return None
    said = dict(re.findall(r"^(GL_RENDERER|GL_VERSION) = (.*)$",
                           done.stdout.decode(errors="replace"), re.M))
    if done.returncode != 0 or "GL_RENDERER" not in said:
        return None
    return {"renderer": said["GL_RENDERER"], "version": said.get("GL_VERSION", ""),
            "bits": list(BITS)}


def gallium(name):
    """A Gallium driver by its name, or None where it makes no context."""
    for env in ({"GALLIUM_DRIVER": name}, {"GALLIUM_DRIVER": name, "LIBGL_ALWAYS_SOFTWARE": "1"}):
        info = renderer_info(env)
        if info and info["renderer"].lower().startswith(name):
            return Renderer(name, env, info)
    return None


def choose(named, wanted, fast):
    """The renderers to replay on, as the window run chooses them: the
    detected ones (those in wanted, or llvmpipe alone in the fast mode) and
    every named one, which replaces a detected one of its name. Only the
    drivers asked for are tried."""
    wanted = wanted_names(named, wanted, fast)
    names = [g for g in GALLIUM_CANDIDATES
             if g not in dict(named) and (wanted is None or g in wanted)]
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        found = [r for r in pool.map(gallium, names) if r]
        if wanted is None or "default" in wanted:
            default = renderer_info({})
            if default and not any(default["renderer"] == r.info["renderer"] for r in found):
                found.append(Renderer("default", {}, default))
        found += list(pool.map(lambda item: Renderer(item[0], item[1], renderer_info(item[1])),
                               named))
    return wanted_of(found, wanted,
                     "no renderer could make a GL context on the surfaceless platform")
