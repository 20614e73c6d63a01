#include "hive/Hive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";

CHive ParseText(const std::string& text, HiveParseReport* report = nullptr) {
    CHive hive;
    HiveParseReport r = hive.Parse(text.data(), text.size());
    if (report)
        *report = r;
    return hive;
}

StringList Path(const std::string& text) {
    StringList path;
    Tokenize(text, path, "\\");
    return path;
}

const HiveValue* ValueAt(const CHive& hive, const std::string& key, const std::string& name) {
    const CHiveKey* k = hive.FindKey(Path(key));
    return k ? k->FindValue(name) : nullptr;
}

// Text and parse again: the hive must come back equal.
void ExpectRoundTrip(const CHive& hive) {
    std::string text = hive.Serialize();
    HiveParseReport report;
    CHive back = ParseText(text, &report);
    EXPECT_EQ(report.skippedLines, 0) << text;
    EXPECT_TRUE(back == hive) << text;
}

TEST(Hive, WritesTheExportFormat) {
    CHive hive;
    CHiveKey* key = hive.CreateKey(Path("HKEY_CURRENT_USER\\Software\\Q"));
    ASSERT_NE(key, nullptr);
    key->SetValue(HiveValue::String("Name", "C:\\dir \"quoted\""));
    key->SetValue(HiveValue::Dword("Count", 30));
    key->SetValue(HiveValue::String("", "default"));
    key->SetValue(HiveValue::String("Lines", "a\r\nb"));
    EXPECT_EQ(hive.Serialize(), kHeader +
                                    "[HKEY_CURRENT_USER]\n\n"
                                    "[HKEY_CURRENT_USER\\Software]\n\n"
                                    "[HKEY_CURRENT_USER\\Software\\Q]\n"
                                    "\"Name\"=\"C:\\\\dir \\\"quoted\\\"\"\n"
                                    "\"Count\"=dword:0000001e\n"
                                    "@=\"default\"\n"
                                    "\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\n\n");
    ExpectRoundTrip(hive);
}

TEST(Hive, ReadsValuesOfEveryKind) {
    const std::string text = kHeader +
                             "[HKEY_CURRENT_USER\\K]\n"
                             "\"Text\"=\"a \\\"b\\\" c\\\\d\"\n"
                             "\"Other\\Escape\"=\"x\\ny\"\n"
                             "\"Num\"=dword:FFFFFFFF\n"
                             "\"Short\"=dword:7\n"
                             "\"Multi\"=hex(1):48,00,69,00,0a,00,\\\n"
                             "  21,00,00,00\n"
                             "\"Bin\"=hex:01,02,ff\n"
                             "\"Expand\"=hex(2):25,00,00,00\n"
                             "\"DwordHex\"=hex(4):01,00,00,00\n"
                             "@=\"def\"\n";
    HiveParseReport report;
    CHive hive = ParseText(text, &report);
    EXPECT_EQ(report.skippedLines, 0);
    const std::string k = "HKEY_CURRENT_USER\\K";
    struct Case {
        const char* name;
        uint32_t type;
        std::string data;
    } cases[] = {
        {"Text", kHiveString, "a \"b\" c\\d"},
        // Only \\ and \" are escapes; any other backslash stays.
        {"Other\\Escape", kHiveString, "x\\ny"},
        {"Num", kHiveDword, std::string("\xff\xff\xff\xff", 4)},
        {"Short", kHiveDword, std::string("\x07\0\0\0", 4)},
        {"Multi", kHiveString, "Hi\n!"},
        {"Bin", kHiveBinary, "\x01\x02\xff"},
        {"Expand", kHiveExpandString, std::string("\x25\0\0\0", 4)},
        {"DwordHex", kHiveDword, std::string("\x01\0\0\0", 4)},
        {"", kHiveString, "def"},
    };
    for (const Case& c : cases) {
        const HiveValue* v = ValueAt(hive, k, c.name);
        ASSERT_NE(v, nullptr) << c.name;
        EXPECT_EQ(v->type, c.type) << c.name;
        EXPECT_EQ(v->data, c.data) << c.name;
    }
    EXPECT_EQ(ValueAt(hive, k, "Num")->Number(), 0xFFFFFFFFu);
    ExpectRoundTrip(hive);
}

// Text as read, and written again. Names compare without regard to case and keep their first
// case; subkeys sort upper-cased, so "_" (0x5F) after the letters; a value keeps its place and
// its first name, the later line gives the data. Lines it cannot parse are skipped.
TEST(Hive, ReadsTextAndWritesItBack) {
    struct Case {
        const char* what;
        std::string text;
        int skipped;
        std::string written;
    };
    const Case cases[] = {
        {"names and their order",
         "[HKEY_CURRENT_USER\\Soft\\b]\n[HKEY_CURRENT_USER\\Soft\\_x]\n"
         "[HKEY_CURRENT_USER\\Soft\\A]\n\"Value\"=\"first\"\n\"Second\"=\"2\"\n"
         "[hkey_current_user\\SOFT\\a1]\n[HKEY_CURRENT_USER\\soft\\a]\n\"VALUE\"=\"last\"\n",
         0,
         "[HKEY_CURRENT_USER]\n\n[HKEY_CURRENT_USER\\Soft]\n\n[HKEY_CURRENT_USER\\Soft\\A]\n"
         "\"Value\"=\"last\"\n\"Second\"=\"2\"\n\n[HKEY_CURRENT_USER\\Soft\\a1]\n\n"
         "[HKEY_CURRENT_USER\\Soft\\b]\n\n[HKEY_CURRENT_USER\\Soft\\_x]\n\n"},
        {"what cannot be parsed is skipped",
         "; a comment\n"
         "\"Orphan\"=\"before any key\"\n"
         "[HKEY_CURRENT_USER\\K]\n"
         "\"Good1\"=\"1\"\n"
         "\"Unclosed=\"x\"\n"
         "\"Bad\"=dword:12345678901\n"
         "\"BadHex\"=hex(1):4g,00\n"
         "\"Trail\"=\"x\" junk\n"
         "garbage line\n"
         "\"NoEquals\" \"x\"\n"
         "[HKEY_CURRENT_USER\\Broken\n"
         "\"Lost\"=\"after a broken key line\"\n"
         "[HKEY_CURRENT_USER\\\\Empty]\n"
         "[HKEY_CURRENT_USER\\K]\n"
         "\"Good2\"=dword:00000002\n"
         "\n\n",
         10,
         "[HKEY_CURRENT_USER]\n\n[HKEY_CURRENT_USER\\K]\n\"Good1\"=\"1\"\n"
         "\"Good2\"=dword:00000002\n\n"},
        {"deletion lines",
         "[HKEY_CURRENT_USER\\A\\B\\C]\n\"v\"=\"1\"\n[HKEY_CURRENT_USER\\A]\n\"keep\"=\"1\"\n"
         "\"gone\"=\"1\"\n\"gone\"=-\n[-HKEY_CURRENT_USER\\a\\b]\n",
         0, "[HKEY_CURRENT_USER]\n\n[HKEY_CURRENT_USER\\A]\n\"keep\"=\"1\"\n\n"},
        {"a backslash at the end of the file ends a hex value",
         "[K]\n\"b\"=hex:01,\\\n  02,\\\n  03\n\"c\"=hex:04,\\", 0,
         "[K]\n\"b\"=hex:01,02,03\n\"c\"=hex:04\n\n"},
        {"a line that is no hex continuation is not swallowed",
         "[K]\n\"b\"=hex:01,\\\n[L]\n\"d\"=\"x\"\n", 0,
         "[K]\n\"b\"=hex:01\n\n[L]\n\"d\"=\"x\"\n\n"},
        {"a string ends at its terminator", "[K]\n\"s\"=hex(1):41,00,00,00,42,00,00,00\n", 0,
         "[K]\n\"s\"=\"A\"\n\n"},
    };
    for (const Case& c : cases) {
        HiveParseReport report;
        CHive hive = ParseText(kHeader + c.text, &report);
        EXPECT_EQ(report.skippedLines, c.skipped) << c.what;
        EXPECT_EQ(hive.Serialize(), kHeader + c.written) << c.what;
    }
}

TEST(Hive, Utf16ExportFromWindows) {
    const std::string utf8 = kHeader +
                             "[HKEY_CURRENT_USER\\Software\\Quorvane]\r\n"
                             "\"Description\"=\"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\"\r\n"
                             "\"Limit\"=dword:00000010\r\n";
    // UTF-16LE with a byte-order mark, as the registry editor exports.
    std::u16string units = u"\uFEFF" + Utf8ToUtf16(utf8);
    std::string bytes;
    for (char16_t u : units) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    HiveParseReport report;
    CHive fromUtf16 = ParseText(bytes, &report);
    EXPECT_TRUE(report.utf16);
    EXPECT_EQ(report.skippedLines, 0);
    CHive fromUtf8 = ParseText(utf8);
    EXPECT_TRUE(fromUtf16 == fromUtf8);
    // A UTF-8 byte-order mark is skipped too.
    CHive withBom = ParseText("\xEF\xBB\xBF" + utf8);
    EXPECT_TRUE(withBom == fromUtf8);
}

TEST(Hive, EveryStringSurvivesTheTextForm) {
    const std::string texts[] = {
        "",
        "plain",
        "tab\there",
        "line\nbreak",
        "cr\ronly",
        "\r\n",
        "quote \" and backslash \\ at end \\",
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE2\x82\xAC \xF0\x9F\x98\x80",
        "\xFF\xFE not UTF-8 \x80",
        "\xED\xA0\x80 encoded surrogate",
        "\xC0\xAF overlong",
        "truncated \xE2\x82",
        std::string(100000, 'x') + "/*.log",
    };
    CHive hive;
    CHiveKey* key = hive.CreateKey(Path("HKEY_CURRENT_USER\\T"));
    int n = 0;
    for (const std::string& t : texts) {
        key->SetValue(HiveValue::String("v" + std::to_string(n++), t));
    }
    CHive back = ParseText(hive.Serialize());
    n = 0;
    for (const std::string& t : texts) {
        const HiveValue* v = ValueAt(back, "HKEY_CURRENT_USER\\T", "v" + std::to_string(n++));
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->data, t);
    }
    EXPECT_EQ(HiveValue::String("x", std::string("ab\0cd", 5)).data, "ab");  // ends at a NUL
}

TEST(Hive, KeyPathsAndNames) {
    CHive hive;
    EXPECT_EQ(hive.CreateKey({}), nullptr);
    EXPECT_EQ(hive.CreateKey({"HKEY_CURRENT_USER", ""}), nullptr);
    EXPECT_EQ(hive.CreateKey({"HKEY_CURRENT_USER", "a\\b"}), nullptr);
    EXPECT_EQ(hive.CreateKey({"HKEY_CURRENT_USER", "a\nb"}), nullptr);
    EXPECT_TRUE(hive.Root().SubKeys().empty());
    // A "/" is an ordinary character of a key name.
    CHiveKey* k = hive.CreateKey({"HKEY_CURRENT_USER", "shop/example.com 0"});
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(hive.FindKey({"hkey_current_user", "SHOP/EXAMPLE.COM 0"}), k);
    ExpectRoundTrip(hive);
}

TEST(Hive, LongValuesAreWrittenOverLines) {
    CHive c;
    HiveValue big;
    big.name = "big";
    big.type = kHiveBinary;
    big.data = std::string(1000, '\xAB');
    c.CreateKey({"K"})->SetValue(big);
    EXPECT_NE(c.Serialize().find(",\\\n  ab"), std::string::npos);
    ExpectRoundTrip(c);
}

}  // namespace
