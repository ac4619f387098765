"""python3 -m report.sources.pointsize: prints the smooth point size
granularity (GL_SMOOTH_POINT_SIZE_GRANULARITY) and range
(GL_SMOOTH_POINT_SIZE_RANGE) of the renderer that EGL's surfaceless
platform gives under this process's environment, as clearswap --info
prints them, or nothing where no context can be made. Standard library
only, through ctypes: the replays' renderers have no window, piglit's
glinfo does not print these, and the starfield's verdict allows for them."""

import ctypes
import sys

SURFACELESS = 0x31DD            # EGL_PLATFORM_SURFACELESS_MESA
OPENGL_API = 0x30A2             # EGL_OPENGL_API
RANGE = 0x0B12                  # GL_SMOOTH_POINT_SIZE_RANGE
GRANULARITY = 0x0B13            # GL_SMOOTH_POINT_SIZE_GRANULARITY


def point_sizes():
    """(granularity, (least, largest size)), or None."""
    egl = ctypes.CDLL("libEGL.so.1")
    egl.eglGetProcAddress.restype = ctypes.c_void_p
    egl.eglGetProcAddress.argtypes = [ctypes.c_char_p]

    def function(name, result, *arguments):
        address = egl.eglGetProcAddress(name)
        return ctypes.CFUNCTYPE(result, *arguments)(address) if address else None

    pointer = ctypes.c_void_p
    display_of = function(b"eglGetPlatformDisplayEXT", pointer, ctypes.c_uint, pointer, pointer)
    if display_of is None:
        return None
    display = display_of(SURFACELESS, None, None)
    for name, result, arguments in (
            ("eglInitialize", ctypes.c_uint, [pointer, pointer, pointer]),
            ("eglBindAPI", ctypes.c_uint, [ctypes.c_uint]),
            ("eglCreateContext", pointer, [pointer, pointer, pointer, pointer]),
            ("eglMakeCurrent", ctypes.c_uint, [pointer, pointer, pointer, pointer])):
        getattr(egl, name).restype, getattr(egl, name).argtypes = result, arguments
    if not display or not egl.eglInitialize(display, None, None) \
            or not egl.eglBindAPI(OPENGL_API):
        return None
    # A context with no config and no surface (EGL_KHR_no_config_context,
    # EGL_KHR_surfaceless_context), as eglretrace's surfaceless replays get.
    context = egl.eglCreateContext(display, None, None, None)
    if not context or not egl.eglMakeCurrent(display, None, None, context):
        return None
    get_floatv = function(b"glGetFloatv", None, ctypes.c_uint, ctypes.POINTER(ctypes.c_float))
    granularity, sizes = ctypes.c_float(0.0), (ctypes.c_float * 2)()
    get_floatv(GRANULARITY, ctypes.byref(granularity))
    get_floatv(RANGE, sizes)
    return granularity.value, tuple(sizes)


if __name__ == "__main__":
    found = point_sizes()
    if found:
        print("point_granularity: %g\npoint_range: %g %g" % (found[0], *found[1]))
    sys.exit(0)
