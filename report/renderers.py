"""The renderers a report runs on: Mesa's Gallium drivers at hand, selected
with GALLIUM_DRIVER, the machine's default renderer, and renderers named on
the command line by their environment (an uninstalled driver build, say).
Each is a Renderer(name, env, info), where info is what the GL says of
itself there, or None where no context could be made."""

import collections
import concurrent.futures
import re

from . import inputs

# Mesa's Gallium drivers that GALLIUM_DRIVER can select for a window on a
# plain X server; each is tried, and kept only if the GL then names it.
GALLIUM_CANDIDATES = ("llvmpipe", "softpipe", "zink", "d3d12", "virpipe")

Renderer = collections.namedtuple("Renderer", "name env info")


class RendererError(ValueError):
    """A renderer named on the command line that cannot be used."""


def parse_named(text):
    """A renderer named on the command line, NAME=VAR=VALUE[,VAR=VALUE...],
    as (name, {VAR: VALUE}). A value may hold "=" but not ","."""
    name, sep, rest = text.partition("=")
    if not sep or not rest:
        raise RendererError("--renderer %r: expected NAME=VAR=VALUE[,VAR=VALUE...]" % text)
    # The form a pack's or a report's renderer must have: a renderer named
    # here is one that a merge of this run's report takes.
    if not inputs.is_name(name):
        raise RendererError("--renderer %r: a name is %s" % (text, inputs.NAME_RULE))
    env = {}
    for pair in rest.split(","):
        var, sep, value = pair.partition("=")
        if not sep or not re.match(r"^[A-Za-z_][A-Za-z0-9_]*$", var):
            raise RendererError("--renderer %r: %r is not VAR=VALUE" % (text, pair))
        env[var] = value
    return name, env


def gallium(probe, name, environments):
    """A Gallium driver by its name, under the first of its environments
    where the GL then names it; None where none does."""
    for env in environments(name):
        info = probe(env)
        if info and info["renderer"].lower().startswith(name):
            return Renderer(name, env, info)
    return None


def only_gallium_driver(name):
    return [{"GALLIUM_DRIVER": name}]


def choose(probe, named, wanted, fast, environments=only_gallium_driver, none_text=None):
    """The renderers to run: the Gallium drivers asked for (those in
    wanted, llvmpipe alone in the fast mode, or every one) that make a
    context, the machine's default renderer where it is none of them, and
    every named one, which replaces a detected one of its name. A named
    renderer that makes no context is kept, with info None: its states are
    skipped. probe(env) says what the GL is under env (None: no context);
    environments(name) the environments to try a driver under."""
    wanted = wanted_names(named, wanted, fast)
    names = [g for g in GALLIUM_CANDIDATES
             if g not in dict(named) and (wanted is None or g in wanted)]
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        found = [r for r in pool.map(lambda g: gallium(probe, g, environments), names) if r]
        if wanted is None or "default" in wanted:
            default = probe({})
            if default and not any(default["renderer"] == r.info["renderer"] for r in found):
                found.append(Renderer("default", {}, default))
        found += list(pool.map(lambda item: Renderer(item[0], item[1], probe(item[1])), named))
    return wanted_of(found, wanted, none_text or "no renderer could make a GL context")


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


def checked(found, checks, versions=()):
    """The renderers found, once each one that checks name, [(name, compiled
    expression)], is there and says of itself a GL_RENDERER that the
    expression matches, and each one that versions name a GL_VERSION;
    otherwise RendererError, saying what was found. A job meant for one
    driver thus stops before it judges another, as when a hardware driver
    fails to load and the GL falls back to a software renderer, or when the
    system's Mesa was loaded instead of the one just built: the renderer's
    name is the same, its version ("4.5 (Compatibility Profile) Mesa
    22.3.6") is not."""
    by_name = {r.name: r for r in found}
    for option, field, said_as, pairs in (("--renderer-check", "renderer", "is", checks),
                                          ("--version-check", "version", "has GL_VERSION",
                                           versions)):
        for name, pattern in pairs:
            renderer = by_name.get(name)
            if renderer is None:
                raise RendererError("%s: no renderer %s in this run (found: %s)"
                                    % (option, name, ", ".join(by_name)))
            if renderer.info is None:
                raise RendererError("%s: renderer %s made no GL context, so it does not "
                                    "match %r" % (option, name, pattern.pattern))
            said = renderer.info.get(field, "")
            if not pattern.search(said):
                raise RendererError("%s: renderer %s %s %r, which does not match %r"
                                    % (option, name, said_as, said, pattern.pattern))
    return found
