#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/LastMessage.h"
#include "site/TextBuffer.h"
#include "synthesis/InstructionDecoder.h"
#include "synthesis/InstructionWriter.h"
#include "synthesis/RandSequence.h"

namespace {

TEST(InstructionForm, TextFormIsLinesAndLineFeeds) {
    CTextBuffer buffer;
    CInstructionWriter writer(buffer, true);
    EXPECT_TRUE(writer.WriteLine("/index.html", -1));
    EXPECT_TRUE(writer.WriteLine("@@xyz", 2));
    EXPECT_TRUE(writer.WriteLine(""));
    EXPECT_TRUE(writer.WriteLine("a\nb;c"));  // an LF would split the line
    EXPECT_EQ(buffer.View(), "/index.html\n@@\n\na%0Ab;c\n");

    DecodedInstructions decoded;
    ASSERT_TRUE(
        DecodeInstructions(buffer.Data(), static_cast<std::size_t>(buffer.Length()), decoded));
    EXPECT_FALSE(decoded.scrambled);
    EXPECT_EQ(decoded.lines, (std::vector<std::string>{"/index.html", "@@", "", "a%0Ab;c"}));
}

TEST(InstructionForm, ScrambledFormRunsTheKeyAcrossLines) {
    CRandSequence keys(1);
    CTextBuffer buffer;
    CInstructionWriter writer(buffer, false, keys);
    const uint8_t key[4] = {41, 18467 % 256, 6334 % 256, 26500 % 256};
    EXPECT_EQ(writer.Key()[0], key[0]);
    EXPECT_EQ(writer.Key()[3], key[3]);
    ASSERT_TRUE(writer.WriteLine("ab", -1));
    ASSERT_TRUE(writer.WriteLine("#x;y"));  // a ";" would split the line
    std::string plain = "ab;#x%3By;";
    std::string expected = {'{',
                            '{',
                            static_cast<char>(key[0]),
                            static_cast<char>(key[1]),
                            static_cast<char>(key[2]),
                            static_cast<char>(key[3])};
    for (std::size_t i = 0; i < plain.size(); ++i) {
        expected.push_back(static_cast<char>(plain[i] ^ key[i % 4]));
    }
    EXPECT_EQ(buffer.ToString(), expected);

    // The next writer takes the next four values.
    CTextBuffer second;
    CInstructionWriter next(second, false, keys);
    EXPECT_EQ(static_cast<uint8_t>(second.Data()[2]), 19169 % 256);

    DecodedInstructions decoded;
    ASSERT_TRUE(
        DecodeInstructions(buffer.Data(), static_cast<std::size_t>(buffer.Length()), decoded));
    EXPECT_TRUE(decoded.scrambled);
    EXPECT_EQ(decoded.key[2], key[2]);
    EXPECT_EQ(decoded.lines, (std::vector<std::string>{"ab", "#x%3By"}));
}

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
