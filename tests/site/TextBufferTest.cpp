#include "site/TextBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

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
    CTextBuffer moved = std::move(copy);
    EXPECT_EQ(moved.View(), "<html></ht");
    b.Truncate(6);
    EXPECT_EQ(b.View(), "<html>");
    b.Truncate(100);  // longer than the contents: nothing happens
    b.Truncate(-1);
    EXPECT_EQ(b.View(), "<html>");
    // Never past 2 GiB: a request beyond it fails and leaves the contents alone (the bytes are
    // never read, so a short source is enough to ask).
    const char source[16] = {};
    EXPECT_FALSE(b.Append(source, std::numeric_limits<int32_t>::max() - 5));
    EXPECT_FALSE(b.Insert(0, source, std::numeric_limits<int32_t>::max()));
    EXPECT_FALSE(b.Append(source, -1));
    EXPECT_TRUE(b.Append(source, 0));
    EXPECT_EQ(b.View(), "<html>");
    ASSERT_TRUE(b.Terminate());
    EXPECT_EQ(b.Data()[b.Length()], '\0');
}

// Bytes that come from the buffer itself survive the buffer growing under them, wherever they
// sit relative to the insertion point.
TEST(TextBuffer, CopiesFromItself) {
    CTextBuffer b(4);
    ASSERT_TRUE(b.Assign("0123456789"));
    ASSERT_TRUE(b.Append(b.View()));  // grows: the source moves
    EXPECT_EQ(b.View(), "01234567890123456789");
    ASSERT_TRUE(b.Assign("abcdef"));
    ASSERT_TRUE(b.Insert(1, b.Data() + 3, 3));  // source after the insertion point
    EXPECT_EQ(b.View(), "adefbcdef");
    ASSERT_TRUE(b.Assign("abcdef"));
    ASSERT_TRUE(b.Insert(4, b.Data(), 2));  // source before it
    EXPECT_EQ(b.View(), "abcdabef");
    ASSERT_TRUE(b.Assign("abcdef"));
    ASSERT_TRUE(b.Insert(3, b.Data() + 1, 4));  // source across it
    EXPECT_EQ(b.View(), "abcbcdedef");
    ASSERT_TRUE(b.Assign(b.View().substr(2, 3)));
    EXPECT_EQ(b.View(), "cbc");
}

TEST(TextBuffer, ReplaceAll) {
    // A large page that more than doubles: every occurrence replaced once, the rest kept in order.
    std::string page;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        page += "p" + std::to_string(i) + ":{LINK}\n";
        expected += "p" + std::to_string(i) + ":<a href=\"{link}\">{LINK}</a>\n";
    }
    struct Case {
        std::string text;
        const char* key;
        const char* value;
        bool replaced;
        std::string out;
    };
    const Case cases[] = {
        {"{name} and {NAME}", "{name}", "Quorvane", true, "Quorvane and Quorvane"},
        // The search resumes after the inserted value: a value holding the key stays.
        {"a{x}b{x}", "{x}", "<{x}>", true, "a<{x}>b<{x}>"},
        {"nothing here", "{file}", "f", false, "nothing here"},
        {"{p}{p}{p}", "{P}", "", true, ""},
        {"", "{p}", "x", false, ""},
        {"abc", "", "x", false, "abc"},
        {"aaaa", "aa", "a", true, "aa"},  // occurrences do not overlap
        {"xAbCx", "abc", "<abc>", true, "x<abc>x"},
        {"tail {K}", "{k}", "value", true, "tail value"},
        {page, "{link}", "<a href=\"{link}\">{LINK}</a>", true, expected},
    };
    for (const auto& c : cases) {
        CTextBuffer b;
        b.Assign(c.text);
        EXPECT_EQ(b.ReplaceAll(c.key, c.value), c.replaced) << c.text.substr(0, 40);
        EXPECT_EQ(b.View(), c.out) << c.text.substr(0, 40);
    }
}

}  // namespace
