// csv_rows: rows of the command line's CSV output as bytes, formatted here because text
// made one Python object per cell cost four fifths of a whole run. Numbers are written in
// the fewest digits that read back as the same value (std::to_chars), float32 ones checked
// to read back when parsed as a double and then rounded to float32, as numpy, pandas and
// most CSV readers parse them; the rare value that would not gets its double's digits.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "bindings.h"
#include "routines.h"

namespace tessaryn::python {

namespace py = pybind11;

namespace {

// What a column holds, as the package passes it (tessaryn._csv_output names the same).
enum Kind : int {
  kIndicator = 0,  // float32; the marker and NaN are empty cells
  kDouble = 1,     // float64 as read; NaN is an empty cell
  kInteger = 2,    // int64
  kText = 3,       // objects: str as it is (quoted where needed), None and NaN empty
  kRowNumber = 4,  // the row's number from 1
};

struct Column {
  Kind kind;
  const char* data = nullptr;
  std::ptrdiff_t step = 0;
  py::object keep;
};

struct Format {
  char sep;
  char decimal;
};

void PutNumber(std::string& out, const char* first, const char* last, const Format& format) {
  const std::size_t at = out.size();
  out.append(first, last);
  if (format.decimal != '.') {
    for (std::size_t i = at; i < out.size(); ++i) {
      if (out[i] == '.') {
        out[i] = format.decimal;
      }
    }
  }
}

void PutFloat(std::string& out, float value, const Format& format) {
  char text[64];
  auto [end, error] = std::to_chars(text, text + sizeof text, value);
  // The digits that make this float32 back when read as a float32 may, read as a double
  // and rounded again, land one float32 away (a double rounding): then the double's.
  double read = 0;
  std::from_chars(text, end, read);
  if (static_cast<float>(read) != value && std::isfinite(value)) {
    end = std::to_chars(text, text + sizeof text, static_cast<double>(value)).ptr;
  }
  PutNumber(out, text, end, format);
}

void PutDouble(std::string& out, double value, const Format& format) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  PutNumber(out, text, result.ptr, format);
}

void PutInteger(std::string& out, std::int64_t value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

// A text cell as csv.writer writes it: quoted, its quotes doubled, when it holds the
// separator, a quote or a line end (or begins or ends with a space, which readers drop).
void PutText(std::string& out, std::string_view text, const Format& format) {
  bool quote = !text.empty() && (text.front() == ' ' || text.back() == ' ');
  for (const char c : text) {
    if (c == format.sep || c == '"' || c == '\n' || c == '\r') {
      quote = true;
      break;
    }
  }
  if (!quote) {
    out.append(text);
    return;
  }
  out.push_back('"');
  for (const char c : text) {
    if (c == '"') {
      out.push_back('"');
    }
    out.push_back(c);
  }
  out.push_back('"');
}

// A text cell's UTF-8, read with the GIL held so that the rows are then formatted without
// it: str objects keep their UTF-8 (CPython caches it in the object, alive as long as the
// column is); any other object's str() is kept in `made`. None and NaN are empty.
std::string_view TextOf(PyObject* item, std::vector<py::object>& made) {
  if (item == Py_None || (PyFloat_Check(item) && std::isnan(PyFloat_AS_DOUBLE(item)))) {
    return {};
  }
  if (!PyUnicode_Check(item)) {
    made.push_back(py::reinterpret_steal<py::object>(PyObject_Str(item)));
    if (!made.back()) {
      throw py::error_already_set();
    }
    item = made.back().ptr();
  }
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(item, &size);
  if (utf8 == nullptr) {
    throw py::error_already_set();
  }
  return {utf8, static_cast<std::size_t>(size)};
}

Column ColumnOf(py::handle layout, py::ssize_t stop) {
  const auto pair = py::reinterpret_borrow<py::tuple>(layout);
  if (pair.size() != 2) {
    throw py::value_error("csv_rows: a column is (kind, values)");
  }
  Column column;
  column.kind = static_cast<Kind>(pair[0].cast<int>());
  if (column.kind == kRowNumber) {
    return column;
  }
  const char* dtype = column.kind == kIndicator ? "float32"
                      : column.kind == kDouble  ? "float64"
                      : column.kind == kInteger ? "int64"
                      : column.kind == kText    ? "object"
                                                : nullptr;
  if (dtype == nullptr) {
    throw py::value_error("csv_rows: unknown column kind");
  }
  const py::array array = py::array::ensure(pair[1]);
  if (!array || array.ndim() != 1 || !array.dtype().is(py::dtype(dtype)) || array.shape(0) < stop) {
    throw py::value_error(std::string("csv_rows: expected a 1-D ") + dtype +
                          " array covering the rows");
  }
  column.data = static_cast<const char*>(array.data());
  column.step = array.strides(0);
  column.keep = array;
  return column;
}

// csv_rows(columns, start, stop, sep, decimal) -> bytes: rows [start, stop) of `columns`,
// each a (kind, values) pair, every row ended by "\n".
py::bytes CsvRows(const py::list& layouts, py::ssize_t start, py::ssize_t stop,
                  const std::string& sep, const std::string& decimal) {
  if (sep.size() != 1 || decimal.size() != 1 || start < 0 || stop < start) {
    throw py::value_error("csv_rows: one-character sep and decimal, 0 <= start <= stop");
  }
  const Format format{sep[0], decimal[0]};
  std::vector<Column> columns;
  for (const py::handle layout : layouts) {
    columns.push_back(ColumnOf(layout, stop));
  }
  // The text cells first, with the GIL; the rows then without it, so that blocks of rows
  // are formatted on several threads at once.
  const std::size_t count = static_cast<std::size_t>(stop - start);
  std::vector<std::vector<std::string_view>> texts(columns.size());
  std::vector<py::object> made;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].kind != kText) {
      continue;
    }
    texts[c].resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      PyObject* item;
      std::memcpy(&item, columns[c].data + (start + static_cast<py::ssize_t>(i)) * columns[c].step,
                  sizeof item);
      texts[c][i] = TextOf(item, made);
    }
  }
  std::string out;
  out.reserve(static_cast<std::size_t>(stop - start) * (columns.size() * 10 + 1));
  auto rows = [&] {
    for (py::ssize_t row = start; row < stop; ++row) {
      for (std::size_t c = 0; c < columns.size(); ++c) {
        if (c != 0) {
          out.push_back(format.sep);
        }
        const Column& column = columns[c];
        const char* at = column.data == nullptr ? nullptr : column.data + row * column.step;
        switch (column.kind) {
          case kIndicator: {
            float value;
            std::memcpy(&value, at, sizeof value);
            if (std::bit_cast<std::uint32_t>(value) != kEmptyBits && !std::isnan(value)) {
              PutFloat(out, value, format);
            }
            break;
          }
          case kDouble: {
            double value;
            std::memcpy(&value, at, sizeof value);
            if (!std::isnan(value)) {
              PutDouble(out, value, format);
            }
            break;
          }
          case kInteger: {
            std::int64_t value;
            std::memcpy(&value, at, sizeof value);
            PutInteger(out, value);
            break;
          }
          case kText:
            PutText(out, texts[c][static_cast<std::size_t>(row - start)], format);
            break;
          case kRowNumber:
            PutInteger(out, row + 1);
            break;
        }
      }
      out.push_back('\n');
    }
  };
  {
    py::gil_scoped_release unlocked;
    rows();
  }
  return py::bytes(out);
}

}  // namespace

void BindCsvText(py::module_& module) {
  module.def("csv_rows", &CsvRows, py::arg("columns"), py::arg("start"), py::arg("stop"),
             py::arg("sep"), py::arg("decimal"),
             "Rows [start, stop) of columns, each (kind, values): 0 float32 (marker and NaN "
             "empty), 1 float64 (NaN empty), 2 int64, 3 objects (None and NaN empty), 4 row "
             "numbers from 1. Returns the rows as UTF-8 CSV bytes, each ended by a newline.");
}

}  // namespace tessaryn::python
