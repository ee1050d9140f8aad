"""The indicators the package offers, in one place that every part reads: the batch
functions, streams, the command line, the pandas accessor and tessaryn.dask.

They come from the library's indicator table (filters/indicators.inc), through
tessaryn._core.INDICATORS: each is (function name, output name, routine number of
tessaryn._core), in the order the outputs come: trend, cycle, model."""

from . import _core

INDICATORS = tuple((function, output, number)
                   for number, (function, output, _routine) in enumerate(_core.INDICATORS))

#: The public functions' names, in output order.
FUNCTION_NAMES = tuple(function for function, _, _ in INDICATORS)
#: The outputs' names (result Series, columns added), in output order.
OUTPUT_NAMES = tuple(output for _, output, _ in INDICATORS)
#: Routine numbers of tessaryn._core, by function name.
ROUTINE_NUMBERS = {function: number for function, _, number in INDICATORS}
#: Output name by function name.
OUTPUT_OF = {function: output for function, output, _ in INDICATORS}
