"""The renderers a report runs on: Mesa's Gallium drivers at hand, selected
with GALLIUM_DRIVER, the machine's default renderer, and renderers named on
the command line by their environment (an uninstalled driver build, say).
Each is a Renderer(name, env, info), where info is what the GL says of
itself there, or None where no context could be made."""

import collections
import os
import re
import subprocess

# Mesa's Gallium drivers that GALLIUM_DRIVER can select for a window on a
# plain X server; each is tried, and kept only if the GL then names it.
GALLIUM_CANDIDATES = ("llvmpipe", "softpipe", "zink", "d3d12", "virpipe")

NAME = re.compile(r"^[A-Za-z0-9][A-Za-z0-9._-]*$")

Renderer = collections.namedtuple("Renderer", "name env info")


class RendererError(ValueError):
    """A renderer named on the command line that cannot be used."""


def parse_named(text):
    """A renderer named on the command line, NAME=VAR=VALUE[,VAR=VALUE...],
    as (name, {VAR: VALUE}). A value may hold "=" but not ","."""
    name, sep, rest = text.partition("=")
    if not sep or not rest:
        raise RendererError("--renderer %r: expected NAME=VAR=VALUE[,VAR=VALUE...]" % text)
    if not NAME.match(name):
        raise RendererError("--renderer %r: a name is letters, digits, '.', '_' or '-'"
                            % text)
    env = {}
    for pair in rest.split(","):
        var, sep, value = pair.partition("=")
        if not sep or not re.match(r"^[A-Za-z_][A-Za-z0-9_]*$", var):
            raise RendererError("--renderer %r: %r is not VAR=VALUE" % (text, pair))
        env[var] = value
    return name, env


def renderer_info(driver, env):
    """What clearswap --info prints under env: renderer name, version and
    channel bits; None if no context could be made."""
    try:
        result = subprocess.run([os.path.join(driver.bin_dir, "clearswap"), "--info"],
                                env=driver.program_env(env), capture_output=True, timeout=30)
    except subprocess.TimeoutExpired:
        return None
    if result.returncode != 0:
        return None
    info = dict(re.findall(r"^(\w+): (.*)$", result.stdout.decode(errors="replace"), re.M))
    if "renderer" not in info:
        return None
    info["bits"] = [int(b) for b in info.get("bits", "8 8 8 0").split()]
    return info


def detect(driver):
    """Every renderer at hand: the Gallium drivers that answer to their
    name, and the machine's default renderer when it is none of them."""
    found = []
    for gallium in GALLIUM_CANDIDATES:
        env = {"GALLIUM_DRIVER": gallium}
        info = renderer_info(driver, env)
        if info and info["renderer"].lower().startswith(gallium):
            found.append(Renderer(gallium, env, info))
    default = renderer_info(driver, {})
    if default and not any(default["renderer"] == r.info["renderer"] for r in found):
        found.append(Renderer("default", {}, default))
    return found


def choose(driver, named, wanted, fast):
    """The renderers to run: the detected ones (those in wanted, or
    llvmpipe alone in the fast mode) and every named one, which replaces a
    detected one of its name. A named renderer that makes no context is
    kept, with info None: its states are skipped."""
    found = [r for r in detect(driver) if r.name not in dict(named)]
    found += [Renderer(name, env, renderer_info(driver, env)) for name, env in named]
    return wanted_of(found, wanted_names(named, wanted, fast), "no renderer could make a GL context")


def wanted_names(named, wanted, fast):
    """The renderer names asked for: wanted, or in the fast mode llvmpipe
    and the named ones; None for every one at hand."""
    if wanted is None and fast:
        return ["llvmpipe"] + [name for name, _ in named]
    return wanted


def wanted_of(found, wanted, none_text):
    """The renderers found that are wanted (all where wanted is None); a
    wanted one not found, or none at all, is an error."""
    if wanted is not None:
        missing = [n for n in wanted if n not in [r.name for r in found]]
        if missing:
            raise RendererError("renderer not at hand: %s (found: %s)"
                                % (", ".join(missing), ", ".join(r.name for r in found)))
        found = [r for r in found if r.name in wanted]
    if not found:
        raise RendererError(none_text)
    return found
