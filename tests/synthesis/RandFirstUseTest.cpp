// Its own executable: the process's sequence must be untouched when the test starts.
#include <gtest/gtest.h>

#include <string>

#include "site/TextBuffer.h"
#include "synthesis/InstructionWriter.h"
#include "synthesis/RandSequence.h"

namespace {

TEST(RandSequence, TheFirstFileOfAProcessIsTheSameEverywhere) {
    // The first key of the process: 41, 18467, 6334 and 26500 modulo 256. A file of the one
    // line "@@" is the header and the three bytes of "@@;" XORed with the key.
    CTextBuffer buffer;
    CInstructionWriter writer(buffer, false);
    ASSERT_TRUE(writer.WriteLine("@@"));
    const std::string expected = {'{', '{', '\x29', '\x23', '\xBE', '\x84', '\x69', '\x63', '\x85'};
    EXPECT_EQ(buffer.ToString(), expected);

    // The text form draws no key; an LF inside a line would split it.
    CTextBuffer text;
    CInstructionWriter plain(text, true);
    ASSERT_TRUE(plain.WriteLine("@@"));
    ASSERT_TRUE(plain.WriteLine(""));
    ASSERT_TRUE(plain.WriteLine("a\nb;c"));
    EXPECT_EQ(text.View(), "@@\n\na%0Ab;c\n");
    EXPECT_EQ(ProcessRandSequence().Next(), 19169);  // the fifth value of the sequence
}

}  // namespace
