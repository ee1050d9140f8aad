// Every routine against the shared case table, bit for bit on every bar.
#include <gtest/gtest.h>

#include <cstdio>
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

// At every width; an indicator of the tests alone, which the table has no bars for, against
// its plain reference.
TEST(CaseTable, EveryRoutineMatchesEveryBarExactly) {
  const std::vector<FilterCase> cases = ReadCaseFile(TESSARYN_CASE_FILE);
  ASSERT_GE(cases.size(), 10u);
  AtEveryWidth([&](Lanes lanes) {
    for (const FilterCase& c : cases) {
      for (const NamedRoutine& routine : kRoutines) {
        SCOPED_TRACE(c.name + " / " + routine.name + " / " + WidthName(lanes));
        const std::vector<float> out = RunOver(routine.run, c.prices, c.periods);
        const auto listed = c.expected.find(routine.name);
        ASSERT_TRUE(listed != c.expected.end() || routine.ordinal == 0);
        const std::vector<float> expected =
            listed != c.expected.end() ? listed->second : routine.plain(c.prices, c.periods);
        for (std::size_t bar = 0; bar < out.size(); ++bar) {
          EXPECT_EQ(Bits(out[bar]), Bits(expected[bar]))
              << "bar " << bar << ": got " << Describe(out[bar]) << ", want "
              << Describe(expected[bar]);
        }
      }
    }
  });
}

}  // namespace
}  // namespace tessaryn::test
