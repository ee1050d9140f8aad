"""Checks the documented install: from a copy of the repository, into a new virtual
environment that sees Debian's packages,

    /usr/bin/python3 -m venv --system-site-packages .venv
    .venv/bin/pip install --no-build-isolation ./python

with no package index and no pip configuration, then imports the installed package there
and holds its values to libtessaryn.so's bits, and those of its console script `tessaryn`
on the sample data. Run by ctest (python_install), not pytest.

    install_check.py <source root> <work folder> <libtessaryn.so>
"""

import ctypes
import os
import shutil
import subprocess
import sys

import numpy as np

# Run by the installed package, away from the repository: seeded series through every kind
# of call, saved for the comparison.
COMPUTE = r"""
import sys
import numpy as np
import tessaryn
assert "site-packages" in tessaryn.__file__, tessaryn.__file__
rng = np.random.default_rng(31)
prices = (100 + np.cumsum(rng.normal(size=5000))).astype(np.float32)
periods = (rng.integers(1, 400, 5000) / 2).astype(np.float32)
values = {"prices": prices, "periods": periods}
for name in ("itrend", "cyclical_component", "tessaryn"):
    values[name] = getattr(tessaryn, name)(prices, periods, empty="marker")
    values[name + "_float64"] = getattr(tessaryn, name)(prices.astype(np.float64), 14)
# The stream's C code is in the installed package too: a history, then a bar revised.
stream = tessaryn.Stream(200, empty="marker")
history = stream.push_many(prices[:-1], periods[:-1])
stream.push(prices[-1] * 2, periods[-1])
last = stream.revise(prices[-1], periods[-1])
for name, field in zip(("itrend", "cyclical_component", "tessaryn"), history._fields):
    values[name + "_stream"] = np.append(getattr(history, field), np.float32(getattr(last, field)))
np.savez(sys.argv[1], **values)
"""

ROUTINES = {"itrend": "ITrend", "cyclical_component": "CyclicalComponent",
            "tessaryn": "Tessaryn"}


def run(command, cwd, environment):
    done = subprocess.run(command, cwd=cwd, env=environment, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, timeout=900)
    if done.returncode != 0:
        sys.exit(f"failed: {' '.join(command)}\n{done.stdout}")


def reference(library, name, prices, periods):
    routine = getattr(library, name)
    routine.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int32, ctypes.c_void_p]
    prices = np.ascontiguousarray(prices, np.float32)
    periods = np.ascontiguousarray(np.broadcast_to(np.float32(periods), prices.shape))
    out = np.empty_like(prices)
    routine(prices.ctypes.data, periods.ctypes.data, len(prices), out.ctypes.data)
    return out


def check_console_script(clone, work, environment, library):
    """The installed `tessaryn` command over the sample's DAX column: the library's bits
    (the command needs pandas: without it, this part is left out)."""
    try:
        import pandas
    except ImportError:
        print("installed package: pandas missing, its console script not run")
        return
    output = os.path.join(work, "dax.csv")
    run([os.path.join(clone, ".venv", "bin", "tessaryn"),
         os.path.join(clone, "data", "eu-stock-markets.csv"), "--column", "DAX",
         "--output", output], work, environment)
    written = pandas.read_csv(output)
    prices = written["DAX"].to_numpy(np.float32)
    for column, name in (("trend", "ITrend"), ("cycle", "CyclicalComponent"),
                         ("model", "Tessaryn")):
        bits = reference(library, name, prices, 20)
        bits = np.where(bits == np.float32(3.4e38), np.float32(np.nan), bits)
        got = written[column].to_numpy(np.float64).astype(np.float32)
        if got.view(np.uint32).tolist() != bits.view(np.uint32).tolist():
            sys.exit(f"tessaryn command, {column}: the values differ from the library's")


def main(root, work, library_path):
    shutil.rmtree(work, ignore_errors=True)
    clone = os.path.join(work, "clone")
    shutil.copytree(root, clone, ignore=shutil.ignore_patterns(
        ".git", "build", ".venv", "__pycache__", "*.egg-info"))

    environment = {key: value for key, value in os.environ.items()
                   if not key.startswith(("PIP_", "PYTHON"))}
    environment.update(PIP_CONFIG_FILE=os.devnull, PIP_NO_INDEX="1",
                       PIP_DISABLE_PIP_VERSION_CHECK="1", PYTHONDONTWRITEBYTECODE="1")
    run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", ".venv"], clone,
        environment)
    run([".venv/bin/pip", "install", "--no-build-isolation", "--no-cache-dir", "./python"],
        clone, environment)

    saved = os.path.join(work, "values.npz")
    run([os.path.join(clone, ".venv", "bin", "python"), "-c", COMPUTE, saved], work,
        environment)

    library = ctypes.CDLL(library_path)
    check_console_script(clone, work, environment, library)
    values = np.load(saved)
    for name, routine in ROUTINES.items():
        expected = {
            name: reference(library, routine, values["prices"], values["periods"]),
            name + "_float64": reference(library, routine, values["prices"], 14),
        }
        expected[name + "_stream"] = expected[name]
        for key, bits in expected.items():
            got = values[key]
            if name + "_float64" == key:
                bits = np.where(bits == np.float32(3.4e38), np.float32(np.nan), bits)
            if got.view(np.uint32).tolist() != bits.view(np.uint32).tolist():
                sys.exit(f"{key}: the installed package's values differ from the library's")
    shutil.rmtree(work)
    print("installed package: values equal the library's bits")


if __name__ == "__main__":
    main(*sys.argv[1:])
