#include "ratio_reporter.h"

#include <cstdio>
#include <iterator>
#include <utility>

namespace tessaryn::bench {

namespace {

// Periods: 14, 50, 200; -1 drifts by one bar every bar between 20 and 200.
const Ratio kRatios[] = {
    {"ITrend P200 / ITrend P14 (1e6)", "ITrend/1000000/200", "ITrend/1000000/14", 1.0 / 1.1},
    {"ITrend P200 / ITrend P14 (1e7)", "ITrend/10000000/200", "ITrend/10000000/14", 1.0 / 1.1},
    {"ITrend P200 / fresh-sum trend P200 (1e6)", "ITrend/1000000/200", "FreshSumTrend/1000000/200",
     50.0},
    {"ITrend P14 / running-sum average (1e6)", "ITrend/1000000/14", "RunningSumAverage/1000000/14",
     1.0},
    {"ITrend P14 / running-sum average (1e7)", "ITrend/10000000/14",
     "RunningSumAverage/10000000/14", 1.0},
    {"CyclicalComponent P50 / bare recurrence (1e6)", "CyclicalComponent/1000000/50",
     "BareRecurrence/1000000", 0.85},
    {"CyclicalComponent P50 / bare recurrence (1e7)", "CyclicalComponent/10000000/50",
     "BareRecurrence/10000000", 0.85},
    {"Tessaryn P50 / CyclicalComponent P50 (1e6)", "Tessaryn/1000000/50",
     "CyclicalComponent/1000000/50", 0.8},
    {"Tessaryn P50 / CyclicalComponent P50 (1e7)", "Tessaryn/10000000/50",
     "CyclicalComponent/10000000/50", 0.8},
    {"ITrend drifting / ITrend P14 (1e6)", "ITrend/1000000/-1", "ITrend/1000000/14", 0.5},
    {"ITrend drifting / ITrend P14 (1e7)", "ITrend/10000000/-1", "ITrend/10000000/14", 0.5},
    {"ITrend drifting / ITrend P200 (1e6)", "ITrend/1000000/-1", "ITrend/1000000/200", 0.5},
    {"ITrend P14 / memory streaming (1e6)", "ITrend/1000000/14", "StreamAdd/1000000", 0.0},
    // Streams: speeds in bars per second, so "at most 4x the time" is "at least 1/4 the speed".
    {"stream Push P14 / Tessaryn P14 (1e6)", "StreamPush/14", "Tessaryn/1000000/14", 0.25},
    {"stream Push P10000 / stream Push P14", "StreamPush/10000", "StreamPush/14", 1.0 / 1.2},
    {"stream Push jumping 5..200 / Push P200", "StreamPushJumping/200", "StreamPush/200", 0.5},
    {"stream Revise P14 / stream Push P14", "StreamRevise/14", "StreamPush/14", 0.5},
    {"stream Revise P10000 / stream Push P10000", "StreamRevise/10000", "StreamPush/10000", 0.5},
    {"stream PushMany / three routines (1e6)", "StreamPushMany", "ThreeRoutines", 1.0 / 1.2},
};

std::vector<Ratio>& MoreRatios() {
  static std::vector<Ratio> ratios;
  return ratios;
}

}  // namespace

void AddRatio(Ratio ratio) {
  MoreRatios().push_back(std::move(ratio));
}

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  // With --benchmark_repetitions, the best run of each: the machines are shared, and
  // interference only ever slows a run down.
  for (const Run& run : runs) {
    const auto rate = run.counters.find("bars/s");
    if (run.run_type != Run::RT_Iteration || rate == run.counters.end()) {
      continue;
    }
    double& best = barsPerSecond_[run.benchmark_name()];
    best = rate->second > best ? static_cast<double>(rate->second) : best;
  }
}

void RatioReporter::Finalize() {
  ConsoleReporter::Finalize();
  std::printf("\n%-48s %9s %9s\n", "ratio of speeds (same run)", "measured", "target");
  std::vector<Ratio> all(std::begin(kRatios), std::end(kRatios));
  all.insert(all.end(), MoreRatios().begin(), MoreRatios().end());
  for (const Ratio& r : all) {
    const auto a = barsPerSecond_.find(r.numerator);
    const auto b = barsPerSecond_.find(r.denominator);
    if (a == barsPerSecond_.end() || b == barsPerSecond_.end()) {
      continue;  // filtered out of this run
    }
    const double ratio = a->second / b->second;
    if (r.target > 0.0) {
      std::printf("%-48s %9.3f %8s%.2f %s\n", r.what.c_str(), ratio, ">= ", r.target,
                  ratio >= r.target ? "met" : "NOT MET");
    } else {
      std::printf("%-48s %9.3f\n", r.what.c_str(), ratio);
    }
  }
}

}  // namespace tessaryn::bench
