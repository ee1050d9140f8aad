"""The pip build (setup.py, through library_build.py) compiles the library from the same
sources, with the same definitions, as CMake's build on this machine."""

import json
import os
import sys

import pytest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

import library_build  # noqa: E402


@pytest.fixture(scope="module")
def cmake_build():
    path = os.environ.get("TESSARYN_LIBRARY_BUILD")
    if not path:
        pytest.skip("TESSARYN_LIBRARY_BUILD (written by CMake) is not set")
    with open(path, encoding="utf-8") as file:
        return json.load(file)


def test_same_sources(cmake_build):
    cmake = {os.path.normpath(os.path.join(library_build.ROOT, path))
             for path in cmake_build["sources"] if path}
    assert set(library_build.library_sources()) == cmake


def test_same_definitions(cmake_build):
    cmake = {definition for definition in cmake_build["definitions"] if definition}
    assert {name for name, _ in library_build.library_definitions()} == cmake


def test_numeric_flags_are_those_of_cmake():
    with open(os.path.join(library_build.ROOT, "cmake", "BuildFlags.cmake")) as flags:
        cmake = flags.read()
    for flag in library_build.numeric_flags():
        assert flag in cmake
    assert "-fno-exceptions" in library_build.library_flags()


def test_version_is_the_projects():
    assert library_build.version().count(".") == 2
