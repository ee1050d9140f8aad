// Streams against the batch routines: the bytes decode to a bound and a sequence of Push,
// Revise, PushMany and Reset calls (prices and periods as in fuzz_input.h; an operation byte
// of 15 modulo 16 pushes a raw price and period, as the seed corpus does); every value a
// call gives must be what the routines give on the series as it was then, and a call refused
// for its bound must be refused exactly where the routines would need prices the stream let
// go. The values are kept and checked in few runs of the routines (see Check), not one run a
// call: the target then runs several times as many inputs a second.
#include <tessaryn.h>
#include <tessaryn_stream.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "filters/round_period.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"

using tessaryn::fuzz::Finding;
using tessaryn::fuzz::Same;

namespace {

constexpr std::size_t kMostStreamBars = 700;

// The series the stream has seen since its last reset, and the values it gave for each bar
// (the last call's), with which outputs it was asked for.
struct Model {
  std::vector<float> prices, periods;
  std::vector<float> got[3];   // trend, cycle, model as the stream gave them
  std::vector<bool> asked[3];  // whether the stream was asked for that output of the bar
};

using Routine = void(TESSARYN_CALL*)(const float*, const float*, std::int32_t, float*);
constexpr struct {
  const char* name;
  Routine run;
} kOutputs[] = {{"stream trend", &::ITrend},
                {"stream cycle", &::CyclicalComponent},
                {"stream model", &::Tessaryn}};

// Every value kept for bars first .. last against the routines run once over the series up
// to bar `last`: a value the stream gave for a bar is what the routines give on the series
// as it was then, and bars before the newest do not change. So one run checks every bar
// pushed since, and a value a revision is about to replace is checked before it goes.
void Check(const Model& m, std::size_t first, std::size_t last) {
  if (last < first || last >= m.prices.size())
    return;
  const auto count = static_cast<std::int32_t>(last + 1);
  std::vector<float> want(last + 1);
  for (int k = 0; k < 3; ++k) {
    kOutputs[k].run(m.prices.data(), m.periods.data(), count, want.data());
    for (std::size_t i = first; i <= last; ++i)
      if (m.asked[k][i] && !Same(m.got[k][i], want[i]))
        Finding(kOutputs[k].name, i, m.got[k][i], want[i]);
  }
}

// The values the stream gave for the newest bar, or for bars first .. from PushMany.
void Keep(Model& m, std::size_t bar, const float* const values[3], std::size_t k) {
  for (int o = 0; o < 3; ++o) {
    m.got[o].resize(bar + 1);
    m.asked[o].resize(bar + 1);
    m.asked[o][bar] = values[o] != nullptr;
    m.got[o][bar] = values[o] != nullptr ? values[o][k] : 0.0f;
  }
}

bool Refused(std::int32_t bound, float period, std::size_t bar) {
  const std::int32_t rounded = tessaryn::RoundPeriod(period);
  return bound > 0 && rounded > bound && static_cast<std::size_t>(rounded) <= bar;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaryn::fuzz::Bytes in(data, size);
  const std::int32_t bound = in.Byte() % 4 == 0 ? 0 : 1 + in.Word() % 400;
  TessarynStream* stream = TessarynStreamCreate(bound);
  Model m;
  std::size_t checked = 0;  // bars before this one were checked and will not change
  float walk = 100.0f, period = 10.0f;
  int exponent = 6;
  while (!in.empty()) {
    const std::uint8_t op = in.Byte();
    float out[3];
    if (op % 8 < 4 || op % 8 == 6 || op % 16 == 15) {  // push, revise, or push as it is
      const bool revise = op % 8 == 6;
      const bool raw = op % 16 == 15;
      const float price = raw ? in.Float() : tessaryn::fuzz::GeneratedPrice(in, walk, exponent);
      const float p = raw ? in.Float() : tessaryn::fuzz::GeneratedPeriod(in, period);
      if (!revise && m.prices.size() >= kMostStreamBars)
        continue;
      const std::size_t bar = revise ? m.prices.size() - 1 : m.prices.size();
      const std::int32_t code = revise ? TessarynStreamRevise(stream, price, p, out)
                                       : TessarynStreamPush(stream, price, p, out);
      if (revise && m.prices.empty()) {
        if (code != TESSARYN_STREAM_EMPTY)
          Finding("revise of an empty stream not refused");
        continue;
      }
      if (Refused(bound, p, bar) != (code == TESSARYN_STREAM_PERIOD_ABOVE_BOUND))
        Finding("refusal for the bound where the routines disagree");
      if (code == TESSARYN_STREAM_PERIOD_ABOVE_BOUND)
        continue;
      if (code != TESSARYN_STREAM_OK)
        Finding("push or revise failed");
      if (revise) {
        Check(m, checked, bar);  // the values about to be replaced, and any before them
        checked = bar;
        m.prices.back() = price;
        m.periods.back() = p;
      } else {
        m.prices.push_back(price);
        m.periods.push_back(p);
      }
      const float* const values[3] = {&out[0], &out[1], &out[2]};
      Keep(m, bar, values, 0);
      // The other values of the bar, from the same call, are checked by index above; the
      // stream's size follows the model's.
      if (TessarynStreamSize(stream) != static_cast<std::int64_t>(m.prices.size()))
        Finding("size");
    } else if (op % 8 < 6) {  // push many, some outputs not asked for
      const std::size_t n = in.Byte() % 300;
      if (m.prices.size() + n > kMostStreamBars)
        continue;
      Model add;
      bool refused = false;
      for (std::size_t k = 0; k < n; ++k) {
        add.prices.push_back(tessaryn::fuzz::GeneratedPrice(in, walk, exponent));
        add.periods.push_back(tessaryn::fuzz::GeneratedPeriod(in, period));
        refused |= Refused(bound, add.periods.back(), m.prices.size() + k);
      }
      std::vector<float> trend(n), cycle(n), model(n);
      float* wanted[3] = {op & 16 ? trend.data() : nullptr, op & 32 ? cycle.data() : nullptr,
                          op & 64 ? model.data() : nullptr};
      const std::int32_t code =
          TessarynStreamPushMany(stream, add.prices.data(), add.periods.data(),
                                 static_cast<std::int32_t>(n), wanted[0], wanted[1], wanted[2]);
      if (refused != (code == TESSARYN_STREAM_PERIOD_ABOVE_BOUND))
        Finding("push many: refusal for the bound where the routines disagree");
      if (refused)
        continue;
      if (code != TESSARYN_STREAM_OK)
        Finding("push many failed");
      const std::size_t first = m.prices.size();
      m.prices.insert(m.prices.end(), add.prices.begin(), add.prices.end());
      m.periods.insert(m.periods.end(), add.periods.begin(), add.periods.end());
      for (std::size_t k = 0; k < n; ++k)
        Keep(m, first + k, wanted, k);
    } else {  // reset
      Check(m, checked, m.prices.size() - 1);
      TessarynStreamReset(stream);
      m = Model{};
      checked = 0;
    }
  }
  Check(m, checked, m.prices.size() - 1);
  TessarynStreamDestroy(stream);
  return 0;
}
