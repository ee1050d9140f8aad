"""python3 -m tessaryn: the tessaryn command (see tessaryn._command)."""

from ._command import run

run()
