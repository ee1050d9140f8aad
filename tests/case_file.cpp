#include "case_file.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "filters/filters.h"

namespace tessaryn::test {

namespace {

float ParseValue(const std::string& word, const std::string& where) {
  if (word == "E") {
    return EmptyValue;
  }
  char* end = nullptr;
  const float value = std::strtof(word.c_str(), &end);  // also takes nan, inf, -inf
  if (end == word.c_str() || *end != '\0') {
    throw std::runtime_error(where + ": not a value: " + word);
  }
  return value;
}

}  // namespace

std::vector<FilterCase> ReadCaseFile(const std::string& path) {
  std::ifstream file(path);
  if (!file) {
    throw std::runtime_error("cannot open " + path);
  }
  std::vector<FilterCase> cases;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    const std::string where = path + ":" + std::to_string(number);
    std::istringstream words(line);
    std::string key;
    if (!(words >> key) || key[0] == '#') {
      continue;
    }
    if (key == "case") {
      cases.emplace_back();
      std::getline(words >> std::ws, cases.back().name);
      continue;
    }
    if (cases.empty()) {
      throw std::runtime_error(where + ": values before the first case");
    }
    std::vector<float> values;
    for (std::string word; words >> word;) {
      values.push_back(ParseValue(word, where));
    }
    FilterCase& current = cases.back();
    if (key == "prices") {
      current.prices = values;
    } else if (key == "periods") {
      current.periods = values;
    } else {
      current.expected[key] = values;
    }
  }
  for (const FilterCase& c : cases) {
    bool complete = c.periods.size() == c.prices.size() && c.expected.size() == 3;
    for (const auto& [routine, bars] : c.expected) {
      complete = complete && bars.size() == c.prices.size();
    }
    if (!complete) {
      throw std::runtime_error(path + ": case '" + c.name + "' lacks or mis-sizes a row");
    }
  }
  return cases;
}

}  // namespace tessaryn::test
