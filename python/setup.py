"""Builds the tessaryn package with the library compiled in, from a clone of the repository:

    /usr/bin/python3 -m venv --system-site-packages .venv
    .venv/bin/pip install --no-build-isolation ./python

Everything it needs comes from Debian (python3-dev, python3-pip, python3-venv,
python3-setuptools, python3-wheel, python3-pybind11, python3-numpy, g++); nothing is
downloaded. The library's sources are read from the repository around this folder.
"""

import glob
import os
import sys

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import library_build  # noqa: E402  (beside this file)

ROOT = library_build.ROOT
VERSION = library_build.version()


def relative(paths):
    """Paths as setuptools takes them: relative to this folder."""
    return [os.path.relpath(path, HERE).replace(os.sep, "/") for path in paths]


# Two compilers at a time at most: the machines are shared.
ParallelCompile("TESSARYN_BUILD_JOBS", default=2).install()


class BuildWithLibrary(build_ext):
    """Compiles the library's sources with the library's own flags (no exceptions, as in
    CMake's build), then links their objects into the extension, which is built with the
    exceptions pybind11 needs."""

    def build_extensions(self):
        objects = self.compiler.compile(
            library_build.library_sources(),
            output_dir=self.build_temp,
            macros=library_build.library_definitions(),
            include_dirs=[ROOT],
            extra_postargs=library_build.library_flags(),
        )
        for built in self.extensions:
            built.extra_objects = objects + list(built.extra_objects or [])
        super().build_extensions()


extension = Pybind11Extension(
    "tessaryn._core",
    relative(sorted(glob.glob(os.path.join(HERE, "src", "*.cpp")))),
    include_dirs=[ROOT, os.path.join(ROOT, "exports"), os.path.join(HERE, "src")],
    define_macros=[("TESSARYN_VERSION", f'"{VERSION}"')],
    extra_compile_args=["-O3"] + library_build.numeric_flags(),
    extra_link_args=["-pthread"],
    cxx_std=20,
)

setup(
    version=VERSION,
    packages=["tessaryn"],
    package_dir={"tessaryn": "tessaryn"},
    package_data={"tessaryn": ["py.typed"]},
    ext_modules=[extension],
    cmdclass={"build_ext": BuildWithLibrary},
    zip_safe=False,
)
