// The byte streams under the log readers: line reading with its terminators and cut, the
// end-of-file indicator, positioning, and the same answers from memory and from a file.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "LogTestUtil.h"
#include "log/FileLogStream.h"
#include "log/GzipLogStream.h"
#include "log/LogFields.h"
#include "log/MemoryLogStream.h"

namespace {

// Every line ReadLine gives through a buffer of the given size: its text, "|", the position after
// it, "e" when the end-of-file indicator is then set, and ";".
std::string Lines(CLogStream& stream, std::size_t size) {
    std::string lines;
    std::vector<char> buffer(size);
    std::size_t length = 0;
    while (stream.ReadLine(buffer.data(), size, &length) != nullptr) {
        EXPECT_EQ(buffer[length], '\0');
        lines += std::string(buffer.data(), length) + "|" + std::to_string(stream.Tell()) +
                 (stream.Eof() ? "e;" : ";");
    }
    return lines;
}

// The same through ReadLineView.
std::string ViewLines(CLogStream& stream, std::size_t size) {
    std::string lines;
    std::vector<char> buffer(size + kLinePadding);
    std::string_view line;
    while (stream.ReadLineView(buffer.data(), size, kLinePadding, line)) {
        lines +=
            std::string(line) + "|" + std::to_string(stream.Tell()) + (stream.Eof() ? "e;" : ";");
    }
    return lines;
}

TEST(LogStream, TerminatorsCutsAndTheEndOfFile) {
    const struct {
        std::string data;
        std::size_t size;
        std::string lines;
    } rows[] = {
        {"a\nb\n", 64, "a|2;b|4;"},  // the line feed was the last byte: nothing tried past it
        {"a\r\nb\r\n", 64, "a|3;b|6;"},
        {"a\rb\r", 64, "a|2;b|4e;"},  // a CR at the very end looks for a LF and finds the end
        {"a\rb", 64, "a|2;b|3e;"},
        {"a\r\rb", 64, "a|2;|3;b|4e;"},
        {"a\n\r\nb", 64, "a|2;|4;b|5e;"},
        {"", 64, ""},
        {"\n", 64, "|1;"},
        // A buffer of 5 bytes stores 4 characters; the rest of the line is a line of its own.
        {"abcdefghij\nxyzw\nk\n", 5, "abcd|4;efgh|8;ij|11;xyzw|15;|16;k|18;"},
    };
    for (const auto& row : rows) {
        CMemoryLogStream stream(row.data);
        EXPECT_EQ(Lines(stream, row.size), row.lines) << testing::PrintToString(row.data);
        EXPECT_TRUE(stream.Eof());
    }
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
    CTempDir dir{"log"};
    const std::string path = dir / "random.log", zipPath = dir / "random.log.gz";
    ASSERT_TRUE(dir.WriteFile("random.log", data));
    // Two gzip members one after the other read as one stream of the decompressed bytes.
    std::string zipped = logtest::Gzip(data.substr(0, 100000)) + logtest::Gzip(data.substr(100000));
    ASSERT_TRUE(dir.WriteFile("random.log.gz", zipped));
    for (std::size_t size : {std::size_t{4096}, std::size_t{1024}, std::size_t{7}}) {
        CMemoryLogStream memory(data);
        const std::string expected = Lines(memory, size);
        CFileLogStream file;
        ASSERT_TRUE(file.Open(path));
        EXPECT_TRUE(Lines(file, size) == expected) << size;
        CGzipLogStream gzip;
        ASSERT_TRUE(gzip.Open(zipPath));
        EXPECT_TRUE(Lines(gzip, size) == expected) << size;
        EXPECT_EQ(gzip.Size(), static_cast<int64_t>(data.size()));
        EXPECT_EQ(gzip.Damage(), "");
        CMemoryLogStream memoryViews(data);
        EXPECT_TRUE(ViewLines(memoryViews, size) == expected) << size;
        ASSERT_TRUE(file.Open(path));
        EXPECT_TRUE(ViewLines(file, size) == expected) << size;
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
    CTempDir dir{"log"};
    CFileLogStream file;
    EXPECT_FALSE(file.Open(dir / "missing.log"));
    EXPECT_FALSE(file.Open(dir.Path()));  // a directory
    EXPECT_EQ(file.Size(), -1);
    ASSERT_TRUE(dir.WriteFile("a.log", "hello\n"));
    ASSERT_TRUE(file.Open(dir / "a.log"));
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

}  // namespace
