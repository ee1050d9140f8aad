"""tessaryn.dask.compute on a 2-process distributed.LocalCluster (127.0.0.1, no dashboard)
over a partitioned long-format data set of 240 symbols: every value bit for bit that of
one process; and `tessaryn --by ... --dask ADDRESS` giving the same CSV as without."""

import os

import numpy as np
import pytest

import tessaryn
from cli_support import need, run
from conftest import assert_same_bits
from test_cli_by import long_format

pd = need("pandas", "python3-pandas")
dd = need("dask.dataframe", "python3-dask")
distributed = need("distributed", "python3-distributed")

import tessaryn.dask  # noqa: E402  (needs dask)
from tessaryn._by_symbol import add_indicators  # noqa: E402

SYMBOLS = 240


@pytest.fixture(scope="module")
def cluster():
    """Two worker processes of one thread each; they import this build's package through
    PYTHONPATH, which they inherit. Closed whatever the tests do."""
    package_parent = os.path.dirname(os.path.dirname(os.path.abspath(tessaryn.__file__)))
    saved = os.environ.get("PYTHONPATH")
    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [package_parent, saved]))
    local = distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                     dashboard_address=None, host="127.0.0.1")
    try:
        yield local
    finally:
        local.close()
        if saved is None:
            del os.environ["PYTHONPATH"]
        else:
            os.environ["PYTHONPATH"] = saved


@pytest.fixture(scope="module")
def rows():
    """Long-format rows of SYMBOLS symbols, shuffled, so every partition holds pieces of
    many symbols."""
    return long_format(31, symbols=SYMBOLS, longest=300, ties=True) \
        .sample(frac=1, random_state=6).reset_index(drop=True)


@pytest.mark.parametrize("period, time", [("period", "date"), (12, "date"), ("period", None)])
def test_cluster_equals_one_process(cluster, rows, period, time):
    frame = dd.from_pandas(rows, npartitions=7)
    with distributed.Client(cluster) as client:
        result = tessaryn.dask.compute(frame, price="close", period=period, by="symbol",
                                       time=time)
        computed = client.compute(result).result()
    assert computed.index.is_unique and len(computed) == len(rows)
    computed = computed.sort_index()
    single = add_indicators(rows, price="close", period=period, by="symbol", time=time)
    assert list(computed.columns) == list(single.columns)
    assert computed[["symbol", "date"]].equals(single[["symbol", "date"]])
    for name in ("trend", "cycle", "model"):
        assert computed[name].dtype == np.float32
        assert_same_bits(computed[name].to_numpy(), single[name].to_numpy())


def test_partitions_left_empty_by_the_shuffle(cluster, rows):
    few = rows[rows["symbol"].isin(["NA", "007", "S1"])].reset_index(drop=True)
    with distributed.Client(cluster) as client:
        result = tessaryn.dask.compute(dd.from_pandas(few, npartitions=9), price="close",
                                       period="period", by="symbol", time="date")
        computed = client.compute(result).result().sort_index()
    single = add_indicators(few, price="close", period="period", by="symbol", time="date")
    for name in ("trend", "cycle", "model"):
        assert_same_bits(computed[name].to_numpy(), single[name].to_numpy())


def test_command_line_on_the_cluster(cluster, rows, tmp_path):
    rows.to_csv(tmp_path / "in.csv", index=False)
    common = [tmp_path / "in.csv", "--by", "symbol", "--column", "close", "--period-column",
              "period"]
    assert run(*common, "--output", tmp_path / "one.csv").status == 0
    result = run(*common, "--dask", cluster.scheduler_address, "--output", tmp_path / "dask.csv")
    assert (result.status, result.err) == (0, "")
    assert (tmp_path / "dask.csv").read_bytes() == (tmp_path / "one.csv").read_bytes()


@pytest.mark.parametrize("keywords, error, message", [
    ({"price": "Close"}, ValueError, "price: no column 'Close'; the columns are symbol, date"),
    ({"by": "ticker"}, ValueError, "by: no column 'ticker'"),
    ({"time": "when"}, ValueError, "time: no column 'when'"),
    ({"period": "p"}, ValueError, "period: no column 'p'"),
    ({"period": None}, TypeError, "period: expected a number or a column name, got None"),
    ({"empty": "zero"}, ValueError, "empty: expected 'nan' or 'marker', got 'zero'"),
])
def test_arguments_checked_before_computing(rows, keywords, error, message):
    arguments = {"price": "close", "period": "period", "by": "symbol", "time": "date",
                 **keywords}
    with pytest.raises(error, match=message):
        tessaryn.dask.compute(dd.from_pandas(rows, npartitions=2), **arguments)


def test_pandas_frame_refused(rows):
    with pytest.raises(TypeError, match="frame: expected a dask.dataframe.DataFrame, got "
                                        "DataFrame"):
        tessaryn.dask.compute(rows, price="close", period=5, by="symbol")


def test_unreachable_scheduler(tmp_path):
    """A scheduler that does not answer: one line, status 2, no file."""
    import dask

    (tmp_path / "in.csv").write_text("symbol,close\nA,1\nA,2\n")
    with dask.config.set({"distributed.comm.timeouts.connect": "1s"}):
        # --period 1: the default 20 is longer than the 2 bars, which warns on a line of its own
        result = run(tmp_path / "in.csv", "--by", "symbol", "--dask", "tcp://127.0.0.1:9",
                     "--period", 1, "--output", tmp_path / "out.csv")
    assert result.status == 2
    assert result.err.startswith("tessaryn: cannot reach the Dask scheduler at "
                                 "tcp://127.0.0.1:9: ") and result.err.count("\n") == 1
    assert os.listdir(tmp_path) == ["in.csv"]
