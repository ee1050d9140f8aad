"""--chart: an SVG that parses, with its two panels (price, trend and model above, the
cycle below), dates along the time axis, the title and the legends; a PNG by extension;
the same file for the same input."""

import re
import struct
import xml.etree.ElementTree as ElementTree

import pytest

from cli_support import SAMPLE, need, run

need("pandas", "python3-pandas")
need("matplotlib", "python3-matplotlib")


def _svg(path):
    """The parsed SVG and the texts it draws (matplotlib writes each beside its paths)."""
    data = path.read_text()
    parser = ElementTree.XMLParser(target=ElementTree.TreeBuilder(insert_comments=True))
    root = ElementTree.fromstring(data, parser=parser)
    texts = [element.text.strip() for element in root.iter()
             if element.tag is ElementTree.Comment]
    return root, texts


def _ids(root, prefix):
    return [element.get("id") for element in root.iter()
            if re.fullmatch(prefix + r"_\d+", element.get("id") or "")]


def test_svg_chart_of_the_sample(tmp_path):
    chart = tmp_path / "dax.svg"
    result = run(SAMPLE, "--column", "DAX", "--period", 20, "--chart", chart)
    assert result.status == 0, result.err
    assert result.out.splitlines()[-1] == f"chart written to {chart}"
    assert len(result.out.splitlines()) == 12  # the table's header, 10 rows, the chart line
    root, texts = _svg(chart)
    assert root.tag == "{http://www.w3.org/2000/svg}svg"
    assert _ids(root, "axes") == ["axes_1", "axes_2"]  # two panels
    assert len(_ids(root, "legend")) == 2
    assert "DAX, period 20" in texts
    assert {"DAX", "trend", "model (trend + cycle)", "cycle", "price"} <= set(texts)
    assert [year for year in map(str, range(1992, 1999))] == [
        text for text in texts if re.fullmatch(r"199\d", text)]  # dates, not decimal years


def test_same_input_same_svg(tmp_path):
    for name in ("a.svg", "b.svg"):
        assert run(SAMPLE, "--column", "SMI", "--chart", tmp_path / name).status == 0
    assert (tmp_path / "a.svg").read_bytes() == (tmp_path / "b.svg").read_bytes()


@pytest.mark.parametrize("name", ["chart.png", "CHART.PNG"])
def test_png_chart(tmp_path, name):
    result = run(SAMPLE, "--column", "CAC", "--chart", tmp_path / name)
    assert result.status == 0, result.err
    data = (tmp_path / name).read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR"
    assert struct.unpack(">II", data[16:24]) == (1100, 650)


def test_chart_and_csv_together(tmp_path):
    result = run(SAMPLE, "--column", "FTSE", "--output", tmp_path / "o.csv", "--chart",
                 tmp_path / "c.svg")
    assert result.status == 0, result.err
    assert result.out == (f"CSV written to {tmp_path / 'o.csv'}\n"
                          f"chart written to {tmp_path / 'c.svg'}\n")
    assert (tmp_path / "o.csv").stat().st_size > 0 and (tmp_path / "c.svg").stat().st_size > 0


def test_chart_of_the_first_symbol_with_a_period_column(tmp_path):
    rows = ["symbol,close,p"] + [f"{symbol},{100 + bar % 7},{3 + bar % 4}"
                                  for bar in range(60) for symbol in ("XY", "AB", "CD")]
    (tmp_path / "in.csv").write_text("\n".join(rows) + "\n")
    result = run(tmp_path / "in.csv", "--by", "symbol", "--column", "close", "--period-column",
                 "p", "--chart", tmp_path / "c.svg", "--rows", 2)
    assert result.status == 0, result.err
    root, texts = _svg(tmp_path / "c.svg")
    assert _ids(root, "axes") == ["axes_1", "axes_2"]
    assert "close of XY (the first of 3 symbols), period from column p" in texts
    assert "bar" in texts  # no time column: bars are numbered
