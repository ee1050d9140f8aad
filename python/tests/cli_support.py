"""Shared by the command line's tests: the command run in this process, its CSV read back as
float32 bits, the sample data, and packages that CI must have."""

import contextlib
import importlib
import io
import os
import sys
from pathlib import Path

import numpy as np
import pytest

ROOT = Path(__file__).resolve().parents[2]
SAMPLE = ROOT / "data" / "eu-stock-markets.csv"


def need(module: str, package: str):
    """`module` imported, or the test module skipped naming the Debian package; where
    TESSARYN_REQUIRE_PYTHON_TESTS is set (CI) a missing package fails instead."""
    try:
        return importlib.import_module(module)
    except ImportError:
        message = f"needs {module} (apt-get install {package})"
        if os.environ.get("TESSARYN_REQUIRE_PYTHON_TESTS"):
            pytest.fail(message, pytrace=False)
        pytest.skip(message, allow_module_level=True)


class Result:
    def __init__(self, status, out, err):
        self.status, self.out, self.err = status, out, err


def run(*arguments, stdin: bytes = b"") -> Result:
    """tessaryn with `arguments`, in this process: its exit status, standard output and
    standard error."""
    from tessaryn._command import main

    out, err = io.StringIO(), io.StringIO()
    saved = sys.stdin
    sys.stdin = io.TextIOWrapper(io.BytesIO(stdin), encoding="utf-8")
    try:
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            status = main([str(argument) for argument in arguments])
    finally:
        sys.stdin = saved
    return Result(status, out.getvalue(), err.getvalue())


def read_output(text_or_path):
    """The command's CSV as a DataFrame, the indicator columns as float32 (NaN where the
    cell is empty), read as any pandas user would."""
    import pandas as pd

    source = io.StringIO(text_or_path) if isinstance(text_or_path, str) and "\n" in text_or_path \
        else text_or_path
    frame = pd.read_csv(source)
    for name in ("trend", "cycle", "model"):
        frame[name] = frame[name].astype(np.float64).astype(np.float32)
    return frame


def sample_column(name: str):
    """A column of the sample data as float32, parsed without pandas."""
    lines = SAMPLE.read_text().splitlines()
    index = lines[0].split(",").index(name)
    return np.array([float(line.split(",")[index]) for line in lines[1:]], dtype=np.float32)
