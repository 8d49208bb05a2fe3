// The names Windows refuses, which a run on Windows tells instead of writing.
#include <gtest/gtest.h>

#include "platform/OutputFolder.h"

namespace {

TEST(WindowsNames, Refused) {
    const struct {
        const char* name;
        bool refused;
    } cases[] = {
        {"a.html", false},       {"商品/一覧.html", false}, {"CONSOLE.html", false}, {"COM10.html", false},
        {"LPT0.html", false},    {"a b.html", false},       {".html", false},        {"x.y.html", false},
        {"CON", true},           {"con.html", true},        {"Nul.tar.gz", true},    {"aux", true},
        {"COM1.html", true},     {"lpt9.txt", true},        {"prn.", true},          {"d/CON.html", true},
        {"a:b.html", true},      {"a*b", true},             {"a?b", true},           {"\"q\".html", true},
        {"<a>.html", true},      {"a|b", true},             {"a\\b", true},          {"tab\tname", true},
        {"x.html.", true},       {"x.html ", true},         {"folder./x.html", true}, {"folder /x.html", true},
        {"COM¹.html", true},     {"lpt³", true},            {"CONIN$", true},        {"con .html", true},
        {"COM¹x", false},        {"CONOUT$1", false},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::IsWindowsForbiddenName(c.name), c.refused) << c.name;
}

}  // namespace
