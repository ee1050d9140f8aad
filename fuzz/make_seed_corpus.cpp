// Writes the seed corpora of the fuzz targets from the shared case file, one file per case:
//   make_seed_corpus <filters.cases> <corpus folder>
// batch/: the case's bars raw (fuzz_input.h, even first byte); stream/: pushed one by one,
// unbounded, then again bounded by the longest period; c_api/: bad calls between pushes.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/case_file.h"

namespace {

void Put(std::vector<std::uint8_t>& bytes, float value) {
  std::uint8_t raw[4];
  std::memcpy(raw, &value, 4);
  bytes.insert(bytes.end(), raw, raw + 4);
}

void Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file)
    throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_seed_corpus <filters.cases> <corpus folder>\n");
    return 2;
  }
  try {
    const auto cases = tessaryn::test::ReadCaseFile(argv[1]);
    const std::string folder = argv[2];
    int n = 0;
    for (const auto& c : cases) {
      const std::string name = "case" + std::to_string(n++);
      std::vector<std::uint8_t> batch{0};
      std::vector<std::uint8_t> stream{0};  // bound byte: 0 modulo 4, unbounded
      for (std::size_t i = 0; i < c.prices.size(); ++i) {
        Put(batch, c.prices[i]);
        Put(batch, c.periods[i]);
        stream.push_back(15);  // push as it is
        Put(stream, c.prices[i]);
        Put(stream, c.periods[i]);
      }
      Write(folder + "/batch/" + name, batch);
      Write(folder + "/stream/" + name, stream);
      std::vector<std::uint8_t> bounded = stream;
      bounded[0] = 1;  // bounded: then a word, the bound less one
      bounded.insert(bounded.begin() + 1, {9, 0});
      Write(folder + "/stream/" + name + "-bounded", bounded);
      std::vector<std::uint8_t> calls{1, 9};  // bounded by 10
      for (std::uint8_t op = 0; op < 16; ++op)
        calls.insert(calls.end(), {op, 6, 0, 7, 0});
      Write(folder + "/c_api/" + name, calls);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_seed_corpus: %s\n", e.what());
    return 1;
  }
  return 0;
}
