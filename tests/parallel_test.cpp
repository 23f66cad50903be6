// Work shared between threads: every index done once, in the parts the
// caller named, whatever the number of threads; a failure in a part is
// the caller's.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "parallel/parts.h"

namespace {

TEST(Parts, EveryIndexOnceInConsecutiveNearEqualParts) {
  for (int64_t count : {0, 1, 2, 7, 100, 1001}) {
    for (int64_t parts : {1, 2, 3, 16, 2000}) {
      for (int threads : {1, 2, 5}) {
        SCOPED_TRACE(testing::Message() << count << " in " << parts << " on " << threads);
        std::vector<std::atomic<int>> done(static_cast<size_t>(count));
        std::vector<std::pair<int64_t, int64_t>> bounds(static_cast<size_t>(parts), {-1, -1});
        std::atomic<int> calls{0};
        ForEachPart(count, parts, threads, [&](int64_t part, int64_t begin, int64_t end) {
          ++calls;
          bounds[static_cast<size_t>(part)] = {begin, end};
          for (int64_t i = begin; i < end; ++i) ++done[static_cast<size_t>(i)];
        });
        for (const std::atomic<int>& d : done) EXPECT_EQ(d, 1);
        // As many parts as asked, but none empty.
        const int64_t made = std::min(parts, count);
        EXPECT_EQ(calls, made);
        int64_t at = 0;
        for (int64_t p = 0; p < made; ++p) {
          const auto [begin, end] = bounds[static_cast<size_t>(p)];
          EXPECT_EQ(begin, at);
          EXPECT_LE(end - begin, count / made + 1);
          EXPECT_GE(end - begin, count / made);
          at = end;
        }
        EXPECT_EQ(at, count);
      }
    }
  }
}

TEST(Parts, AFailingPartIsTheCallersAfterAllHaveEnded) {
  for (int threads : {1, 2, 4}) {
    std::atomic<int> running{0};
    EXPECT_THROW(ForEachPart(64, 64, threads,
                             [&](int64_t part, int64_t, int64_t) {
                               ++running;
                               if (part == 5) throw std::runtime_error("part 5");
                               --running;
                             }),
                 std::runtime_error);
    EXPECT_EQ(running, 1);  // only the failed part did not finish; none still runs
  }
}

// The slices' results are added in their order, whatever thread took
// which: joined as text, the indices come out as one run.
TEST(Parts, SumsOverSlicesInTheSlicesOrder) {
  std::string expected;
  for (int i = 0; i < 37; ++i) expected += std::to_string(i) + ",";
  for (int threads : {1, 2, 3, 8}) {
    const std::string joined =
        SumOverSlices<std::string>(37, threads, [](int64_t begin, int64_t end) {
          std::string text;
          for (int64_t i = begin; i < end; ++i) text += std::to_string(i) + ",";
          return text;
        });
    EXPECT_EQ(joined, expected) << threads << " threads";
  }
  EXPECT_EQ(SumOverSlices<int>(0, 2, [](int64_t, int64_t) { return 1; }), 0);
}

}  // namespace
