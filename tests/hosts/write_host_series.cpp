// Writes the series the host programs run and what this library gives for it, in the files
// of series_files.h: <dir>/input.f32 and <dir>/expected.f32. A host in any language is then
// checked bit for bit by comparing its output file with expected.f32.
// Usage: write_host_series <dir>
#include <tessaryn.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

// More bars than a 16-bit count holds, so a declaration with a 16-bit count fails.
constexpr int kBars = 40000;

struct Series {
  std::vector<float> prices;
  std::vector<float> periods;
};

// A seeded walk around 1234.5 with periods from 1 to 60 (halves among them) drawn on every
// bar; the last 4000 bars have a period of 35000, a window longer than a 16-bit count.
Series HostSeries() {
  std::mt19937 rng(20240901);
  std::normal_distribution<float> step(0.0f, 12.0f);
  std::uniform_int_distribution<int> halves(2, 120);
  Series series;
  float price = 1234.5f;
  for (int bar = 0; bar < kBars; ++bar) {
    price += step(rng);
    series.prices.push_back(price);
    series.periods.push_back(bar < kBars - 4000 ? static_cast<float>(halves(rng)) / 2.0f
                                                : 35000.0f);
  }
  return series;
}

bool WriteFloats(const std::string& path, const std::vector<std::vector<float>>& blocks) {
  const std::string partial = path + ".partial";
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  bool ok = file != nullptr;
  for (const std::vector<float>& block : blocks) {
    ok = ok && std::fwrite(block.data(), sizeof(float), block.size(), file) == block.size();
  }
  ok = file != nullptr && std::fclose(file) == 0 && ok;
  ok = ok && std::rename(partial.c_str(), path.c_str()) == 0;
  if (!ok) {
    std::perror(path.c_str());
    std::remove(partial.c_str());
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <dir>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const Series series = HostSeries();
  std::vector<std::vector<float>> outputs;
  for (const auto routine : {&ITrend, &CyclicalComponent, &Tessaryn}) {  // the files' order
    std::vector<float>& out = outputs.emplace_back(series.prices.size());
    routine(series.prices.data(), series.periods.data(), kBars, out.data());
  }
  const bool ok = WriteFloats(dir + "/input.f32", {series.prices, series.periods}) &&
                  WriteFloats(dir + "/expected.f32", outputs);
  return ok ? 0 : 1;
}
