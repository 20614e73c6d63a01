#include "res/StringTable.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(StringTable, EveryIdOnce) {
    std::set<int> ids;
#define TARVIK_STRING(name, id, text) EXPECT_TRUE(ids.insert(id).second) << "duplicate id " << id;
#include "res/strings/All.inc"
#undef TARVIK_STRING
    EXPECT_STREQ(ResString(1), "");
    EXPECT_FALSE(HasResString(1));
    EXPECT_TRUE(HasResString(57344));
}

TEST(StringTable, Formatting) {
    EXPECT_EQ(FormatString(IDS_LOG_FORMAT_MISMATCH, "ex1.log", "NCSA"),
              "Log file ex1.log contents does not match specified format (NCSA).");
    EXPECT_EQ(FormatString(IDS_PERCENT, 240), "240%");
    std::string longArg(2000, 'x');
    EXPECT_EQ(FormatString(IDS_COULD_NOT_READ_FILE, longArg.c_str()).size(), 2000u + 20u);
}

}  // namespace
