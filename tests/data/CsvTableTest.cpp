#include "data/CsvTable.h"

#include <gtest/gtest.h>

#include "platform/Prompter.h"

TEST(CsvSmoke, TwoLines) {
    auto t = CCsvTable::FromBytes("h1,h2\r\nb1,b2\r\n");
    platform::RecordingPrompter p;
    t.Load(p);
    ASSERT_EQ(t.RecordCount(), 2);
    EXPECT_STREQ(t.GetRecord(1)->GetField(1), "b2");
    EXPECT_EQ(t.FieldIndex("h2"), 1);
}
