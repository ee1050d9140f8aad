// Computes the three indicators over one column of a price table and prints the last rows.
//
//   tessaryn-demo [file.csv] [column] [period] [rows]
//
// Defaults: the bundled European index sample, its DAX column, period 20, the last 10 rows.
// The table's first column is the bar time; empty (warm-up) bars print as "-".
#include <tessaryn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Column {
  std::vector<std::string> times;
  std::vector<float> prices;
};

std::vector<std::string> SplitCsvLine(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  std::string field;
  while (std::getline(stream, field, ',')) {
    if (!field.empty() && field.back() == '\r') {
      field.pop_back();
    }
    fields.push_back(field);
  }
  return fields;
}

// Reads the first column as the bar time and `name` as the prices.
bool ReadColumn(const std::string& path, const std::string& name, Column& column) {
  std::ifstream file(path);
  std::string line;
  if (!file || !std::getline(file, line)) {
    std::cerr << "tessaryn-demo: cannot read " << path << "\n";
    return false;
  }
  const std::vector<std::string> header = SplitCsvLine(line);
  std::size_t index = 0;
  while (index < header.size() && header[index] != name) {
    ++index;
  }
  if (index == header.size() || index == 0) {
    std::cerr << "tessaryn-demo: no price column '" << name << "' in " << path << "\n";
    return false;
  }
  while (std::getline(file, line)) {
    const std::vector<std::string> fields = SplitCsvLine(line);
    if (fields.size() <= index) {
      continue;
    }
    char* end = nullptr;
    const float price = std::strtof(fields[index].c_str(), &end);
    if (end == fields[index].c_str()) {
      std::cerr << "tessaryn-demo: not a price: '" << fields[index] << "'\n";
      return false;
    }
    column.times.push_back(fields[0]);
    column.prices.push_back(price);
  }
  return true;
}

void PrintValue(float value) {
  if (value == 3.4E+38f) {
    std::printf(" %12s", "-");
  } else {
    std::printf(" %12.4f", static_cast<double>(value));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : TESSARYN_SAMPLE_CSV;
  const std::string name = argc > 2 ? argv[2] : "DAX";
  const float period = argc > 3 ? std::strtof(argv[3], nullptr) : 20.0f;
  const long rows = argc > 4 ? std::strtol(argv[4], nullptr, 10) : 10;

  Column column;
  if (!ReadColumn(path, name, column)) {
    return 1;
  }
  const auto count = static_cast<std::int32_t>(column.prices.size());
  const std::vector<float> periods(column.prices.size(), period);
  std::vector<float> trend(column.prices.size());
  std::vector<float> cycle(column.prices.size());
  std::vector<float> model(column.prices.size());
  ITrend(column.prices.data(), periods.data(), count, trend.data());
  CyclicalComponent(column.prices.data(), periods.data(), count, cycle.data());
  Tessaryn(column.prices.data(), periods.data(), count, model.data());

  std::printf("%s, period %g, %d bars\n", name.c_str(), static_cast<double>(period), count);
  std::printf("%-10s %12s %12s %12s %12s\n", "time", name.c_str(), "ITrend", "Cycle", "Tessaryn");
  const long first = rows < count ? count - rows : 0;
  for (long i = first; i < count; ++i) {
    std::printf("%-10s", column.times[i].c_str());
    PrintValue(column.prices[i]);
    PrintValue(trend[i]);
    PrintValue(cycle[i]);
    PrintValue(model[i]);
    std::printf("\n");
  }
  return 0;
}
