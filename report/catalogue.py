"""What the report pictures: every program's start state, every menu state of
the two render-state programs, and a fixed set of combinations where states
interact.

A menu state is reached from the program's start state by choosing menu
entries through the real pop-up menu, and left again by choosing the entries
that were marked at start, so every state of one run starts from the same
place. A state's `settings` is what its expected picture needs: the render state
it shows, in the keys of the fixed-function model (texture, blend, lighting,
fog, env, flat, perspective, persp), or the clock's time."""

import collections

# A program of the suite: its window title, its menu entries (0: no menu),
# where its window goes (None: the program places it itself), whether it
# asks for a depth buffer (so the clear-and-swap baseline clears one too),
# whether its picture moves on every frame (so no kept picture, reference or
# capture, can stand for another frame of it) and whether it shows the time
# (so it runs at a fixed time).
Program = collections.namedtuple("Program", "name title menu place depth moving clock")

PROGRAMS = [
    #       name         title                          menu  place   depth  moving clock
    Program("vorntest5", "VornTest Demo (Esc to exit)", 35,   (0, 0), True,  False, False),
    Program("vorntest",  "VornTest Demo (Esc to exit)", 16,   (0, 0), True,  False, False),
    Program("fendrik",   "Fendrik Demo (Esc to exit)",  0,    (0, 0), False, False, False),
    Program("tembrel",   "Tembrel Demo (Esc to exit)",  0,    (0, 0), True,  False, True),
    Program("quenby",    "Zorvex Test Window",          0,    None,   False, True,  False),
]
NAMES = [p.name for p in PROGRAMS]


def program(name):
    """The catalogue's record of a program; KeyError for none."""
    for record in PROGRAMS:
        if record.name == name:
            return record
    raise KeyError(name)

# The clock is pictured at this local time (UTC), frozen: every hand is away
# from every other and from the readout, which runs right from the centre.
CLOCK_TIME = "2024-01-01 10:08:30"

# The menu of vorntest5 from top to bottom; vorntest has its first 16 rows.
# Each row: label, the model's key, the value it sets.
MENU = [
    ("Texture: Off", "texture", False),
    ("Texture: On", "texture", True),
    ("Blend: Off", "blend", False),
    ("Blend: On", "blend", True),
    ("Lighting: Off", "lighting", False),
    ("Lighting: On", "lighting", True),
    ("Fog: Off", "fog", None),
    ("Fog: GL_LINEAR", "fog", "linear"),
    ("Fog: GL_EXP", "fog", "exp"),
    ("Fog: GL_EXP2", "fog", "exp2"),
    ("TexEnv: GL_REPLACE", "env", "replace"),
    ("TexEnv: GL_MODULATE", "env", "modulate"),
    ("TexEnv: GL_DECAL", "env", "decal"),
    ("TexEnv: GL_BLEND", "env", "blend"),
    ("Shade: GL_SMOOTH", "flat", False),
    ("Shade: GL_FLAT", "flat", True),
    ("Perspective: Off", "perspective", False),
    ("Perspective: On", "perspective", True),
    ("Mouse: Do Rot.", "mouse", "rotate"),
    ("Mouse: Do Size", "mouse", "size"),
] + [("Persp: %d\u00b0" % angle, "persp", angle)
     for angle in (10, 20, 30, 40, 50, 70, 80, 90, 100, 110, 120, 140, 150, 160, 170)]

START = {
    "vorntest5": dict(texture=True, blend=False, lighting=False, fog=None, env="replace",
                      flat=False, perspective=True, persp=150, mouse="size"),
    # The first version has no perspective, size or mouse-mode groups.
    "vorntest": dict(texture=False, blend=False, lighting=False, fog=None, env="replace",
                     flat=False),
}


def entry(program, key, value):
    """Index of the menu row that sets key to value."""
    count = menu_size(program)
    for index, (_, k, v) in enumerate(MENU[:count]):
        if k == key and v == value:
            return index
    raise KeyError((program, key, value))


def menu_size(program_name):
    return program(program_name).menu


class State:
    def __init__(self, program, name, label, entries=(), settings=None, combination=False):
        self.program = program
        self.name = name                # unique within the program, used in file names
        self.label = label              # what the page calls it
        self.entries = list(entries)    # menu rows chosen from the start state
        self.settings = settings        # the render state shown (render-state programs)
        self.combination = combination

    @property
    def id(self):
        return "%s/%s" % (self.program, self.name)

    def uses_fog(self):
        return bool(self.settings and self.settings.get("fog"))

    def restore(self, following=None):
        """Menu rows that bring the program back to its start state: the start
        value of every group this state changed, last change first. Groups
        that the following state sets itself are left to its own choice,
        which overrides them: the program then shows the start state with
        that state's changes all the same, for fewer trips through the menu."""
        if not self.entries:
            return []
        start = START[self.program]
        overridden = [MENU[row][1] for row in following.entries] if following else []
        rows = []
        for index in reversed(self.entries):
            key = MENU[index][1]
            back = entry(self.program, key, start[key])
            if back != index and back not in rows and key not in overridden:
                rows.append(back)
        return rows


def slug(label):
    text = label.lower().replace("\u00b0", "").replace("gl_", "")
    return "".join(c if c.isalnum() else "-" for c in text).strip("-").replace("--", "-")


def menu_states(program):
    start = START[program]
    states = [State(program, "start", "start", settings=dict(start))]
    for index, (label, key, value) in enumerate(MENU[:menu_size(program)]):
        settings = dict(start, **{key: value})
        states.append(State(program, "m%02d-%s" % (index, slug(label)), label, [index],
                            settings))
    return states


def combinations(program, fast=False):
    """Where states interact: each fog mode with each texture environment
    (texturing on), lighting with blending (texturing off and on), flat
    shading (texturing off and on) and, in vorntest5, every field-of-view
    angle with texturing off, where the colour gradient shows the geometry
    more plainly than the texture. CI mode keeps three of the angles."""
    start = START[program]
    states = []

    def add(changes):
        rows = [entry(program, key, value) for key, value in changes]
        settings = dict(start)
        settings.update(changes)
        label = " + ".join(MENU[row][0] for row in rows)
        name = "c-" + "+".join(slug(MENU[row][0]) for row in rows)
        states.append(State(program, name, label, rows, settings, combination=True))

    texture_on = [] if start["texture"] else [("texture", True)]
    for fog in ("linear", "exp", "exp2"):
        for env in ("replace", "modulate", "decal", "blend"):
            add(texture_on + [("fog", fog)] + ([("env", env)] if env != start["env"] else []))
    add([("lighting", True), ("blend", True)] + ([("texture", False)] if start["texture"] else []))
    add(texture_on + [("lighting", True), ("blend", True)])
    add([("flat", True)] + ([("texture", False)] if start["texture"] else []))
    add(texture_on + [("flat", True)])
    if "persp" in start:
        angles = (10, 90, 170) if fast else [v for _, k, v in MENU if k == "persp"]
        for angle in angles:
            add([("texture", False), ("persp", angle)])
    return states


def program_states(name, fast=False):
    """Every state of a program; none for a program the suite has not."""
    if name not in NAMES:
        return []
    if name in START:
        return menu_states(name) + combinations(name, fast)
    if program(name).clock:
        when = CLOCK_TIME.split()[1]
        return [State(name, "start", "start at %s UTC" % when, settings={"time": when})]
    return [State(name, "start", "start")]


def find_state(program_name, state_name):
    """A state of the suite by its program's and its own name; None for none."""
    return next((s for s in program_states(program_name) if s.name == state_name), None)
