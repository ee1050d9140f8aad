"""What the pip build (setup.py) takes from the library: its sources and the settings its
results depend on, as CMakeLists.txt and cmake/BuildFlags.cmake give them to CMake's build.
A test holds the two builds to the same sources and definitions."""

import glob
import os
import platform
import re
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def _x86_64():
    return platform.machine().lower() in ("x86_64", "amd64") and struct.calcsize("P") == 8


def library_sources(root=ROOT):
    """The library's C++ sources: every .cpp of filters/ and exports/ but the Windows DLLs'
    own (their load-time entry, the stream DLL's heap)."""
    sources = []
    for folder in ("filters", "exports"):
        for path in sorted(glob.glob(os.path.join(root, folder, "*.cpp"))):
            if os.path.basename(path) not in ("dll_main.cpp", "windows_memory.cpp"):
                sources.append(path)
    return sources


def library_definitions():
    """Preprocessor definitions of the library's objects: on 64-bit x86 the four-bar (AVX2)
    width of filters/dispatch.h."""
    return [("TESSARYN_FOUR_BARS", None)] if _x86_64() else []


def numeric_flags():
    """Flags that are part of the results: no contraction into fused multiply-adds, and SSE2
    arithmetic on 32-bit x86. (Python's own flags never ask for -ffast-math.)"""
    flags = ["-ffp-contract=off"]
    if platform.machine().lower() in ("i386", "i486", "i586", "i686", "x86"):
        flags += ["-msse2", "-mfpmath=sse"]
    return flags


def library_flags():
    """The library's own objects: C++20, nothing thrown (no exception tables, as in CMake's
    build), nothing exported but what the extension links."""
    return ["-std=c++20", "-O3", "-fno-exceptions", "-fno-rtti", "-fvisibility=hidden",
            "-fvisibility-inlines-hidden"] + numeric_flags()


def version(root=ROOT):
    """The project's version, from CMakeLists.txt's project()."""
    with open(os.path.join(root, "CMakeLists.txt"), encoding="utf-8") as cmake:
        found = re.search(r"project\(\s*Tessaryn\b[^)]*?\bVERSION\s+([0-9.]+)", cmake.read())
    if not found:
        raise RuntimeError("no project(Tessaryn VERSION ...) in CMakeLists.txt")
    return found.group(1)
