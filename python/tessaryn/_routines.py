"""The indicators the package offers, in one place that every part reads: the batch
functions, streams, the command line, the pandas accessor and tessaryn.dask.

Each is (function name, output name, routine number of tessaryn._core), in the order the
outputs come: trend, cycle, model."""

INDICATORS = (
    ("itrend", "trend", 0),
    ("cyclical_component", "cycle", 1),
    ("tessaryn", "model", 2),
)

#: The public functions' names, in output order.
FUNCTION_NAMES = tuple(function for function, _, _ in INDICATORS)
#: The outputs' names (result Series, columns added), in output order.
OUTPUT_NAMES = tuple(output for _, output, _ in INDICATORS)
#: Routine numbers of tessaryn._core, by function name.
ROUTINE_NUMBERS = {function: number for function, _, number in INDICATORS}
#: Output name by function name.
OUTPUT_OF = {function: output for function, output, _ in INDICATORS}
