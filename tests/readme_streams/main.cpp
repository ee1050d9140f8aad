// Runs the README's stream examples (extracted into the build by CMake, as written) and
// checks what they give against the routines.
#include <tessaryn.h>
#include <tessaryn_stream.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

tessaryn::BarValues FollowLive(const std::vector<float>& closes, float period,
                               const std::vector<float>& ticks);
extern "C" std::int32_t FollowLiveC(const float* closes, std::int32_t count, float period,
                                    const float* ticks, std::int32_t tick_count, float out[3]);

namespace {

bool Same(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

int main() {
  std::mt19937 rng(3);
  std::normal_distribution<float> step(0.0f, 1.0f);
  std::vector<float> closes(700);
  float price = 100.0f;
  for (float& close : closes)
    close = price += step(rng);
  const std::vector<float> ticks = {price + 1.0f, price - 0.5f, price + 0.25f};
  const float period = 20.0f;

  std::vector<float> series = closes;
  series.push_back(ticks.back());
  const std::vector<float> periods(series.size(), period);
  const auto count = static_cast<std::int32_t>(series.size());
  float want[3];
  std::vector<float> out(series.size());
  ITrend(series.data(), periods.data(), count, out.data());
  want[0] = out.back();
  CyclicalComponent(series.data(), periods.data(), count, out.data());
  want[1] = out.back();
  Tessaryn(series.data(), periods.data(), count, out.data());
  want[2] = out.back();

  const tessaryn::BarValues live = FollowLive(closes, period, ticks);
  float c[3];
  const std::int32_t error = FollowLiveC(closes.data(), static_cast<std::int32_t>(closes.size()),
                                         period, ticks.data(), 3, c);
  const float got[2][3] = {{live.trend, live.cycle, live.model}, {c[0], c[1], c[2]}};
  int failures = error != 0;
  for (int k = 0; k < 2; ++k)
    for (int v = 0; v < 3; ++v)
      if (!Same(got[k][v], want[v])) {
        std::printf("FAIL: %s example, value %d: %.9g instead of %.9g\n", k ? "C" : "C++", v,
                    got[k][v], want[v]);
        ++failures;
      }
  std::puts(failures ? "FAILED" : "the README's stream examples give the routines' bits");
  return failures != 0;
}
