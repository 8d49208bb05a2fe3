#include "job/Job.h"

#include <gtest/gtest.h>

namespace {

TEST(SelectedWithin, AscendingOnceEachMinusOneForAllOutsideForNone) {
    const struct {
        std::vector<int> items;
        int records;
        std::vector<int> selected;
        bool allFit;
    } cases[] = {
        {{3, 1, 3}, 5, {1, 3}, true},
        {{-1}, 3, {0, 1, 2}, true},
        {{2, -1}, 3, {0, 1, 2}, true},
        {{0, 5, -2, 4}, 5, {0, 4}, false},
        {{-1}, 0, {}, true},
        {{0}, 0, {}, false},
        {{}, 4, {}, true},
    };
    for (const auto& c : cases) {
        bool allFit = !c.allFit;
        EXPECT_EQ(SelectedWithin(c.items, c.records, &allFit), c.selected) << c.records;
        EXPECT_EQ(allFit, c.allFit) << c.records;
    }
}

}  // namespace
