#include "site/TextBuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextBuffer, GrowsByDoublingFromTheStep) {
    CTextBuffer buffer(4096);
    EXPECT_EQ(buffer.Capacity(), 0);
    ASSERT_TRUE(buffer.Append("x", 1));
    EXPECT_EQ(buffer.Capacity(), 8192);  // room for the contents plus one more step
    std::string block(8000, 'a');
    ASSERT_TRUE(buffer.Append(block));
    EXPECT_EQ(buffer.Length(), 8001);
    EXPECT_EQ(buffer.Capacity(), 8192);  // still fits
    ASSERT_TRUE(buffer.Append(std::string(200, 'b')));
    EXPECT_EQ(buffer.Capacity(), 16384);  // 8192 doubled until it holds 8201 + 4096
    ASSERT_TRUE(buffer.Terminate());
    EXPECT_EQ(buffer.Data()[8201], '\0');
    EXPECT_EQ(buffer.Length(), 8201);
    buffer.Clear();
    EXPECT_EQ(buffer.Length(), 0);
    EXPECT_EQ(buffer.Capacity(), 16384);  // memory kept
}

TEST(TextBuffer, EditsInPlace) {
    CTextBuffer b;
    ASSERT_TRUE(b.Assign("<html></html>"));
    ASSERT_TRUE(b.Insert(6, "<body>"));
    EXPECT_EQ(b.View(), "<html><body></html>");
    b.Erase(6, 6);
    EXPECT_EQ(b.View(), "<html></html>");
    b.Erase(10, 100);  // clipped
    EXPECT_EQ(b.View(), "<html></ht");
    EXPECT_FALSE(b.Insert(11, "x"));
    EXPECT_FALSE(b.Insert(-1, "x"));
    CTextBuffer copy = b;
    EXPECT_EQ(copy.View(), b.View());
}

TEST(TextBuffer, ReplaceAll) {
    struct Case {
        const char* text;
        const char* key;
        const char* value;
        bool replaced;
        const char* out;
    };
    const Case cases[] = {
        {"{name} and {NAME}", "{name}", "Quorvane", true, "Quorvane and Quorvane"},
        // The search resumes after the inserted value: a value holding the key stays.
        {"a{x}b{x}", "{x}", "<{x}>", true, "a<{x}>b<{x}>"},
        {"nothing here", "{file}", "f", false, "nothing here"},
        {"{p}{p}{p}", "{P}", "", true, ""},
        {"", "{p}", "x", false, ""},
    };
    for (const auto& c : cases) {
        CTextBuffer b;
        b.Assign(c.text);
        EXPECT_EQ(b.ReplaceAll(c.key, c.value), c.replaced) << c.text;
        EXPECT_EQ(b.View(), c.out) << c.text;
    }
}

}  // namespace
