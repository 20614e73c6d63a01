// The byte streams under the log readers: line reading with its terminators and cut, the
// end-of-file indicator, positioning, and the same answers from memory and from a file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "LogTestUtil.h"
#include "log/FileLogStream.h"
#include "log/GzipLogStream.h"
#include "log/LogFields.h"
#include "log/MemoryLogStream.h"

namespace {

// Every line ReadLine gives through a buffer of the given size, with the position after it.
std::vector<std::pair<std::string, int64_t>> Lines(CLogStream& stream, std::size_t size) {
    std::vector<std::pair<std::string, int64_t>> lines;
    std::vector<char> buffer(size);
    std::size_t length = 0;
    while (stream.ReadLine(buffer.data(), size, &length) != nullptr) {
        EXPECT_EQ(buffer[length], '\0');
        lines.emplace_back(std::string(buffer.data(), length), stream.Tell());
    }
    return lines;
}

std::vector<std::pair<std::string, int64_t>> ViewLines(CLogStream& stream, std::size_t size) {
    std::vector<std::pair<std::string, int64_t>> lines;
    std::vector<char> buffer(size + kLinePadding);
    std::string_view line;
    while (stream.ReadLineView(buffer.data(), size, kLinePadding, line)) {
        lines.emplace_back(std::string(line), stream.Tell());
    }
    return lines;
}

using logtest::TempDir;

TEST(LogStream, TerminatorsAndEndOfFile) {
    struct Case {
        std::string data;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\rb", {"a", "b"}},          // a lone CR ends the line; b starts the next
        {"a\r\rb", {"a", "", "b"}},    // two CRs: an empty line between
        {"a\n\r\nb", {"a", "", "b"}},  // LF, then CR LF
        {"last line without end", {"last line without end"}},
        {"", {}},
        {"\n", {""}},
    };
    for (const Case& c : cases) {
        CMemoryLogStream stream(c.data);
        std::vector<std::string> got;
        for (auto& [line, pos] : Lines(stream, 64)) {
            got.push_back(line);
        }
        EXPECT_EQ(got, c.lines) << testing::PrintToString(c.data);
        EXPECT_TRUE(stream.Eof());
    }
}

TEST(LogStream, EndOfFileIndicatorIsSetOnlyByAReadPastTheEnd) {
    CMemoryLogStream stream("ab\n");
    char buffer[16];
    ASSERT_NE(stream.ReadLine(buffer, sizeof buffer, nullptr), nullptr);
    EXPECT_FALSE(stream.Eof());  // the line feed was the last byte; nothing tried past it yet
    EXPECT_EQ(stream.ReadLine(buffer, sizeof buffer, nullptr), nullptr);
    EXPECT_TRUE(stream.Eof());
    ASSERT_TRUE(stream.Seek(0, SEEK_SET));
    EXPECT_FALSE(stream.Eof());

    CMemoryLogStream unterminated("ab");
    ASSERT_NE(unterminated.ReadLine(buffer, sizeof buffer, nullptr), nullptr);
    EXPECT_TRUE(unterminated.Eof());  // the line ended at the end of the data
    EXPECT_STREQ(buffer, "ab");

    // A CR at the very end looks for a LF after it and so finds the end.
    CMemoryLogStream cr("ab\r");
    ASSERT_NE(cr.ReadLine(buffer, sizeof buffer, nullptr), nullptr);
    EXPECT_TRUE(cr.Eof());
}

TEST(LogStream, OverlongLinesAreCutAndTheRestIsALineOfItsOwn) {
    // A buffer of 5 bytes stores 4 characters.
    CMemoryLogStream stream("abcdefghij\nxyzw\nk\n");
    auto lines = Lines(stream, 5);
    std::vector<std::pair<std::string, int64_t>> expected = {{"abcd", 4},  {"efgh", 8}, {"ij", 11},
                                                             {"xyzw", 15}, {"", 16},    {"k", 18}};
    EXPECT_EQ(lines, expected);
}

TEST(LogStream, SeekLikeAFileStream) {
    CMemoryLogStream stream("0123456789");
    EXPECT_EQ(stream.Tell(), 0);
    EXPECT_TRUE(stream.Seek(4, SEEK_SET));
    EXPECT_EQ(stream.Get(), '4');
    EXPECT_TRUE(stream.Seek(2, SEEK_CUR));
    EXPECT_EQ(stream.Get(), '7');
    EXPECT_TRUE(stream.Seek(-1, SEEK_END));
    EXPECT_EQ(stream.Get(), '9');
    // Before the start fails and leaves the position.
    EXPECT_FALSE(stream.Seek(-11, SEEK_END));
    EXPECT_EQ(stream.Tell(), 10);
    EXPECT_FALSE(stream.Seek(-1, SEEK_SET));
    EXPECT_FALSE(stream.Seek(0, 42));
    // Past the end is allowed; reading there finds the end.
    EXPECT_TRUE(stream.Seek(100, SEEK_SET));
    EXPECT_EQ(stream.Tell(), 100);
    EXPECT_EQ(stream.Get(), -1);
    EXPECT_TRUE(stream.Eof());
    stream.Rewind();
    EXPECT_FALSE(stream.Eof());
    EXPECT_EQ(stream.Get(), '0');
}

TEST(LogStream, FileAndMemoryAndViewsAndGzipReadTheSameLines) {
    // Random bytes rich in terminators, long lines and lines that cross the file stream's blocks.
    std::mt19937 random(7);
    std::string data;
    const char alphabet[] = "ab \r\n\r\n\"[]";
    for (int i = 0; i < 300000; ++i) {
        if (random() % 5000 == 0) {
            data.append(5000 + random() % 3000, 'x');  // longer than the record buffer
        }
        data += alphabet[random() % (sizeof alphabet - 1)];
    }
    TempDir dir;
    std::string path = dir.Write("random.log", data);
    // Two gzip members one after the other read as one stream of the decompressed bytes.
    std::string zipped = logtest::Gzip(data.substr(0, 100000)) + logtest::Gzip(data.substr(100000));
    std::string zipPath = dir.Write("random.log.gz", zipped);
    for (std::size_t size : {std::size_t{4096}, std::size_t{1024}, std::size_t{7}}) {
        CMemoryLogStream memory(data);
        auto expected = Lines(memory, size);
        CFileLogStream file;
        ASSERT_TRUE(file.Open(path));
        EXPECT_EQ(Lines(file, size), expected);
        CGzipLogStream gzip;
        ASSERT_TRUE(gzip.Open(zipPath));
        EXPECT_EQ(Lines(gzip, size), expected);
        EXPECT_EQ(gzip.Size(), static_cast<int64_t>(data.size()));
        EXPECT_EQ(gzip.Damage(), "");
        CMemoryLogStream memoryViews(data);
        EXPECT_EQ(ViewLines(memoryViews, size), expected);
        ASSERT_TRUE(file.Open(path));
        EXPECT_EQ(ViewLines(file, size), expected);
    }
    // After jumps, too: each line read after a seek to a random offset.
    CMemoryLogStream memory(data);
    CFileLogStream file;
    ASSERT_TRUE(file.Open(path));
    CGzipLogStream gzip;
    ASSERT_TRUE(gzip.OpenMemory(zipped));
    char a[4096], b[4096 + kLinePadding], c[4096];
    for (int i = 0; i < 2000; ++i) {
        int64_t offset = static_cast<int64_t>(random() % (data.size() + 10));
        if (i == 1000) {
            // From the end, which the size probe keeps at hand, and on from there.
            offset = gzip.Size() - 1000;
        }
        ASSERT_TRUE(memory.Seek(offset, SEEK_SET));
        ASSERT_TRUE(file.Seek(offset, SEEK_SET));
        ASSERT_TRUE(gzip.Seek(offset, SEEK_SET));
        std::size_t lc = 0;
        const char* unzipped = gzip.ReadLine(c, sizeof c, &lc);
        std::size_t la = 0;
        std::string_view view;
        const char* got = memory.ReadLine(a, sizeof a, &la);
        bool viewed = file.ReadLineView(b, 4096, kLinePadding, view);
        ASSERT_EQ(got != nullptr, viewed);
        ASSERT_EQ(got != nullptr, unzipped != nullptr);
        if (got) {
            ASSERT_EQ(std::string_view(a, la), view);
            ASSERT_EQ(std::string_view(a, la), std::string_view(c, lc));
        }
        ASSERT_EQ(memory.Tell(), gzip.Tell());
        ASSERT_EQ(memory.Tell(), file.Tell());
        ASSERT_EQ(memory.Eof(), file.Eof());
    }
}

TEST(LogStream, FileOpenFailures) {
    TempDir dir;
    CFileLogStream file;
    EXPECT_FALSE(file.Open(dir.path + "/missing.log"));
    EXPECT_FALSE(file.Open(dir.path));  // a directory
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Size(), -1);
    std::string path = dir.Write("a.log", "hello\n");
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(file.Size(), 6);
    char buffer[16];
    ASSERT_NE(file.ReadLine(buffer, sizeof buffer, nullptr), nullptr);
    EXPECT_STREQ(buffer, "hello");
}

TEST(LogFields, NumbersAsAtoiAndScanfReadThem) {
    EXPECT_EQ(LeadingNumber("200"), 200);
    EXPECT_EQ(LeadingNumber("12ab"), 12);
    EXPECT_EQ(LeadingNumber("  -7"), -7);
    EXPECT_EQ(LeadingNumber("+8"), 8);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("123456789"), 123456789);
    EXPECT_EQ(LeadingNumber("99999999999"), 2147483647);  // saturates
    EXPECT_EQ(LeadingNumber("-99999999999"), -2147483647 - 1);

    int32_t a = 0, b = 0, c = 0;
    EXPECT_EQ(ScanNumbers("12/31/98", '/', &a, &b, &c), 3);
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, 31);
    EXPECT_EQ(c, 98);
    EXPECT_EQ(ScanNumbers(" 1: 2: 3  ", ':', &a, &b, &c), 3);
    EXPECT_EQ(c, 3);
    EXPECT_EQ(ScanNumbers("1 /2/3", '/', &a, &b, &c), 1);  // the separator must follow at once
    EXPECT_EQ(ScanNumbers("1/x/3", '/', &a, &b, &c), 1);
    EXPECT_EQ(ScanNumbers("", '/', &a, &b, &c), 0);
}

TEST(LogFields, FindByteStopsAtTheEnd) {
    char buffer[64] = "abc def[ghi]";
    const char* end = buffer + 12;
    EXPECT_EQ(FindByte(buffer, end, ' '), buffer + 3);
    EXPECT_EQ(FindByte(buffer, end, ']'), buffer + 11);
    EXPECT_EQ(FindByte(buffer, buffer + 11, ']'), nullptr);
    EXPECT_EQ(FindByte(buffer + 5, buffer + 5, 'e'), nullptr);
    std::string longer(40, 'x');
    longer += 'y';
    longer.append(kLinePadding, '\0');
    EXPECT_EQ(FindByte(longer.data(), longer.data() + 41, 'y'), longer.data() + 40);
}

}  // namespace
