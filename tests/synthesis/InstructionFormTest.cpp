#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/LastMessage.h"
#include "synthesis/InstructionDecoder.h"

namespace {

TEST(InstructionForm, DecoderRefusesFilesCutShort) {
    struct Case {
        std::string bytes;
        bool ok;
        std::size_t lines;
        const char* message;
    };
    const std::string header = {'{', '{', 1, 2, 3, 4};
    const Case cases[] = {
        {"", true, 0, ""},
        {"a\n\n", true, 2, ""},
        {"a\nb", false, 1, "The instruction file ends inside a line"},
        {"{{\x01\x02", false, 0, "The instruction file ends inside its header"},
        {"{", false, 0, "The instruction file ends inside a line"},
        {header, true, 0, ""},
        {header + std::string{'a' ^ 1, ';' ^ 2}, true, 1, ""},
        {header + std::string{'a' ^ 1, 'b' ^ 2}, false, 0,
         "The instruction file ends inside a line"},
    };
    for (const Case& c : cases) {
        SetLastMessageText("");
        DecodedInstructions decoded;
        EXPECT_EQ(DecodeInstructions(c.bytes.data(), c.bytes.size(), decoded), c.ok);
        EXPECT_EQ(decoded.lines.size(), c.lines);
        EXPECT_EQ(GetLastMessage(), c.message);
    }
    DecodedInstructions decoded;
    EXPECT_FALSE(ReadInstructionFile("/nonexistent/index.qvf", decoded));
    EXPECT_EQ(GetLastMessage(), "Could not read file /nonexistent/index.qvf");
}

}  // namespace
