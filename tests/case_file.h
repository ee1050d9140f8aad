// Reads the shared case file: per case, prices and periods and each routine's expected bars.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tessaryn::test {

struct FilterCase {
  std::string name;
  std::vector<float> prices;
  std::vector<float> periods;
  std::map<std::string, std::vector<float>> expected;  // routine name -> bars
};

// Throws std::runtime_error naming the line that does not parse.
std::vector<FilterCase> ReadCaseFile(const std::string& path);

}  // namespace tessaryn::test
