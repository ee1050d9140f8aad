// Every routine against the shared case table, bit for bit on every bar.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "case_file.h"
#include "test_support.h"

namespace tessaryn::test {
namespace {

std::string Describe(float value) {
  char text[48];
  std::snprintf(text, sizeof text, "%.9g (0x%08X)", static_cast<double>(value), Bits(value));
  return text;
}

// Every case at every width; an indicator of the tests alone, which the cases have no bars for,
// against its plain reference.
void ExpectEveryCaseExactly(const std::vector<FilterCase>& cases) {
  AtEveryWidth([&](Lanes lanes) {
    for (const FilterCase& c : cases) {
      for (const NamedRoutine& routine : kRoutines) {
        SCOPED_TRACE(c.name + " / " + routine.name + " / " + WidthName(lanes));
        const std::vector<float> out = RunOver(routine.run, c.prices, c.periods);
        const auto listed = c.expected.find(routine.name);
        ASSERT_TRUE(listed != c.expected.end() || routine.ordinal == 0);
        const std::vector<float> expected =
            listed != c.expected.end() ? listed->second : routine.plain(c.prices, c.periods);
        ASSERT_EQ(expected.size(), out.size());
        for (std::size_t bar = 0; bar < out.size(); ++bar) {
          if (std::isnan(expected[bar]) && std::isnan(out[bar])) {
            continue;  // a written case says nan for any NaN
          }
          EXPECT_EQ(Bits(out[bar]), Bits(expected[bar]))
              << "bar " << bar << ": got " << Describe(out[bar]) << ", want "
              << Describe(expected[bar]);
        }
      }
    }
  });
}

TEST(CaseTable, EveryRoutineMatchesEveryBarExactly) {
  const std::vector<FilterCase> cases = ReadCaseFile(TESSARYN_CASE_FILE);
  ASSERT_GE(cases.size(), 10u);
  ExpectEveryCaseExactly(cases);
}

// A build for another processor against the bits another build wrote (write_reference_cases),
// given as TESSARYN_REFERENCE_CASES: the linux-arm64 suite under emulation gets the native
// build's.
TEST(CaseTable, MatchesReferenceCasesOfAnotherBuild) {
  const char* path = std::getenv("TESSARYN_REFERENCE_CASES");
  if (path == nullptr || *path == '\0') {
    GTEST_SKIP() << "TESSARYN_REFERENCE_CASES is not set";
  }
  const std::vector<FilterCase> cases = ReadCaseFile(path);
  ASSERT_GE(cases.size(), 10u);
  ExpectEveryCaseExactly(cases);
}

}  // namespace
}  // namespace tessaryn::test
