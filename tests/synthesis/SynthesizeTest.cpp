#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SiteFixture.h"
#include "base/LastMessage.h"
#include "synthesis/InstructionDecoder.h"
#include "synthesis/RandSequence.h"
#include "synthesis/SiteSynthesizer.h"

namespace {

CachingParams Params(bool ascii) {
    CachingParams params;
    params.Extensions = kHtmlAndImages;
    params.AsciiPrefetch = ascii;
    return params;
}

std::vector<std::string> Decoded(const fs::path& path) {
    DecodedInstructions decoded;
    EXPECT_TRUE(ReadInstructionFile(path.string(), decoded)) << path << ": " << GetLastMessage();
    return decoded.lines;
}

class Synthesis : public SiteFixture {
  protected:
    bool Run(CSiteSynthesizer& synth) {
        EXPECT_TRUE(synth.ConcludeCachingInstructions(*map));
        return synth.Synthesize(*map);
    }
    // A page stem.html linking to count pages of its own (each a cacheable page without images:
    // two entries each, file and marker), plus a page with images extra images.
    void Hub(const std::string& stem, int count, int images = 0) {
        CSitePage* hub = Page(stem + ".html");
        for (int i = 0; i < count; ++i)
            Link(hub, Page(stem + "-t" + std::to_string(i) + ".html"));
        if (images > 0) {
            CSitePage* target = Page(stem + "-img.html");
            for (int i = 0; i < images; ++i)
                target->AddImage(File(stem + "-" + std::to_string(i) + ".gif"));
            Link(hub, target);
        }
    }
};

TEST_F(Synthesis, TextFormFilesAndEditedPages) {
    CSitePage* index = Page("/index.html");
    CSitePage* p1 = Page("/p1.html");
    Link(index, p1);
    WriteAppletFiles();

    CSiteSynthesizer synth(work.string(), "tarvik", Params(true), false, nullptr);
    ASSERT_TRUE(Run(synth)) << GetLastMessage();
    const fs::path agent = site / "tarvik";
    EXPECT_EQ(ReadWholeFile(agent / "index.qvf"),
              "/index.html\n/tarvik/fetch0x0.qvf\n/p1.html\n@@\n");
    EXPECT_EQ(ReadWholeFile(agent / "fetch0x0.qvf"), "@@\np1.html\n#p1.html\n");
    EXPECT_FALSE(fs::exists(agent / "fetch1x0.qvf"));
    EXPECT_EQ(ReadWholeFile(agent / "quorvane.properties"), "ShowPrefetch=no\n");
    const std::string indexPage = ReadWholeFile(SitePath("/index.html"));
    EXPECT_NE(indexPage.find("Codebase=\"tarvik\""), std::string::npos);
    EXPECT_NE(indexPage.find("VALUE=\"tarvik/fetch0x0.qvf\""), std::string::npos);
    // A page without entries is edited too, with no fetch file.
    EXPECT_NE(ReadWholeFile(SitePath("/p1.html")).find("VALUE=\"@@\""), std::string::npos);

    CachingParams shown = Params(true);
    shown.ShowPrefetch = true;
    CSiteSynthesizer again(work.string(), "/tarvik/", shown, false, nullptr);
    ASSERT_TRUE(Run(again)) << GetLastMessage();
    EXPECT_EQ(ReadWholeFile(agent / "quorvane.properties"), "ShowPrefetch=yes\n");
    // The second run replaced the block: one block, one call.
    const std::string twice = ReadWholeFile(SitePath("/index.html"));
    EXPECT_EQ(twice.size(), indexPage.size() + 1);
}

TEST_F(Synthesis, LongListsAreSplitIntoParts) {
    Hub("/hub60", 30);          // 60 entries: 50 and 10
    Hub("/hub59", 28, 1);       // 59 entries: one part
    Hub("/sub/hub110", 53, 2);  // 110 entries: 50, 50 and 10
    WriteAppletFiles();
    CSiteSynthesizer synth(work.string(), "tarvik", Params(false), false, nullptr);
    ASSERT_TRUE(Run(synth)) << GetLastMessage();
    map->Renumber();
    const fs::path agent = site / "tarvik";
    // Each part's size, first line (the next part's file, "$" standing for the hub's index),
    // second and last line.
    struct Part {
        const char* hub;
        int part;
        std::size_t size;
        std::string first, second, last;
    } parts[] = {
        {"/hub60.html", 0, 51, "tarvik/fetch$x1.qvf", "hub60-t0.html", "#hub60-t24.html"},
        {"/hub60.html", 1, 11, "@@", "hub60-t25.html", "#hub60-t29.html"},
        {"/hub59.html", 0, 60, "@@", "hub59-t0.html", "#hub59-img.html"},
        {"/sub/hub110.html", 0, 51, "../tarvik/fetch$x1.qvf", "hub110-t0.html", "#hub110-t24.html"},
        {"/sub/hub110.html", 1, 51, "../tarvik/fetch$x2.qvf", "hub110-t25.html",
         "#hub110-t49.html"},
        {"/sub/hub110.html", 2, 11, "@@", "hub110-t50.html", "#hub110-img.html"},
    };
    for (const Part& p : parts) {
        SCOPED_TRACE(testing::Message() << p.hub << " part " << p.part);
        const std::string index = std::to_string(map->FindPage(p.hub)->Index);
        const std::vector<std::string> lines =
            Decoded(agent / ("fetch" + index + "x" + std::to_string(p.part) + ".qvf"));
        ASSERT_EQ(lines.size(), p.size);
        std::string first = p.first;
        if (const std::size_t at = first.find('$'); at != std::string::npos)
            first.replace(at, 1, index);
        EXPECT_EQ(lines[0], first);
        EXPECT_EQ(lines[1], p.second);
        EXPECT_EQ(lines.back(), p.last);
    }
    const int hub60 = map->FindPage("/hub60.html")->Index;
    EXPECT_FALSE(fs::exists(agent / ("fetch" + std::to_string(hub60) + "x2.qvf")));

    std::vector<std::string> index = Decoded(agent / "index.qvf");
    ASSERT_GE(index.size(), 2u);
    EXPECT_EQ(index[0], "/hub60.html");
    EXPECT_EQ(index[1], "/tarvik/fetch" + std::to_string(hub60) + "x0.qvf");
    EXPECT_EQ(index.size(), 2u * static_cast<std::size_t>(map->PageCount()));
}

TEST_F(Synthesis, ScrambledFilesTakeTheirKeysInFileOrder) {
    CSitePage* index = Page("/index.html");
    CSitePage* semi = Page("/a;b.html");
    Link(index, semi);
    Link(semi, index);
    WriteAppletFiles();
    CSiteSynthesizer synth(work.string(), "tarvik", Params(false), false, nullptr);
    synth.ConcludeCachingInstructions(*map);
    CRandSequence mirror(ProcessRandSequence().State());
    ASSERT_TRUE(synth.Synthesize(*map)) << GetLastMessage();

    // index.qvf's key is drawn first, then one per fetch file in page order. A ";" inside a
    // name is written percent-encoded, so the lines stay in step.
    const fs::path agent = site / "tarvik";
    struct Expected {
        const char* name;
        std::string plain;
    };
    const Expected files[] = {
        {"index.qvf", "/index.html;/tarvik/fetch0x0.qvf;/a%3Bb.html;/tarvik/fetch1x0.qvf;"},
        {"fetch0x0.qvf", "@@;a%3Bb.html;#a%3Bb.html;"},
        {"fetch1x0.qvf", "@@;index.html;#index.html;"},
    };
    for (const Expected& file : files) {
        uint8_t key[4];
        std::string bytes = "{{";
        for (uint8_t& k : key) {
            k = static_cast<uint8_t>(mirror.Next() % 256);
            bytes.push_back(static_cast<char>(k));
        }
        for (std::size_t i = 0; i < file.plain.size(); ++i) {
            bytes.push_back(static_cast<char>(file.plain[i] ^ key[i % 4]));
        }
        EXPECT_EQ(ReadWholeFile(agent / file.name), bytes) << file.name;
    }
    EXPECT_EQ(ReadWholeFile(agent / "quorvane.properties"),
              "ShowPrefetch=no\n");  // never scrambled
}

TEST_F(Synthesis, AMissingAppletFileStopsAfterTheOnesBeforeIt) {
    Page("/index.html");
    WriteAppletFiles({"qvan.zip", "qvan.cab", "qvan.jar", "quorvane.class", "b.class"});
    CSiteSynthesizer synth(work.string(), "tarvik", Params(true), false, nullptr);
    EXPECT_FALSE(Run(synth));
    EXPECT_EQ(GetLastMessage(), "Could not copy file 'a.class' into the Agent directory");
    const fs::path agent = site / "tarvik";
    for (const char* name : {"qvan.zip", "qvan.cab", "qvan.jar", "quorvane.class", "index.qvf"}) {
        EXPECT_TRUE(fs::exists(agent / name)) << name;
    }
    for (const char* name : {"a.class", "b.class", "quorvane.properties"}) {
        EXPECT_FALSE(fs::exists(agent / name)) << name;
    }
}

TEST_F(Synthesis, TheScriptLoaderIsCopiedLikeAnAppletFile) {
    Page("/index.html");
    WriteAppletFiles();
    CachingParams params = Params(true);
    params.ScriptPrefetch = true;
    CSiteSynthesizer missing(work.string(), "tarvik", params, false, nullptr);
    EXPECT_FALSE(Run(missing));
    EXPECT_EQ(GetLastMessage(), "Could not copy file 'quorvane.js' into the Agent directory");
    EXPECT_FALSE(fs::exists(site / "tarvik/quorvane.properties"));

    WriteFile(work / "quorvane.js", "loader");
    CSiteSynthesizer synth(work.string(), "tarvik", params, false, nullptr);
    ASSERT_TRUE(Run(synth)) << GetLastMessage();
    EXPECT_EQ(ReadWholeFile(site / "tarvik/quorvane.js"), "loader");
    EXPECT_NE(ReadWholeFile(SitePath("/index.html"))
                  .find("</script><script src=\"tarvik/quorvane.js\"></script>\r\n</Quorvane>"),
              std::string::npos);
}

TEST_F(Synthesis, AgentDirectoryChecks) {
    WriteFile(site / "plain", "a file");
    WriteFile(base / "local-file", "a file");
    fs::create_directories(base / "readonly");
    fs::permissions(base / "readonly", fs::perms::owner_read | fs::perms::owner_exec);
    WriteAppletFiles();
    struct Case {
        std::string directory;
        bool dynamic;
        bool ok;
        std::string message;
    };
    const std::string local = base.string();
    const Case cases[] = {
        {"plain", false, false, "\"/plain\" is not a directory name"},
        {"a/b", false, false, "Could not create directory \"/a/b\""},
        {"\\made\\", false, true, ""},
        {"", false, true, ""},  // the site root itself
        {local + "/local-file", true, false,
         "\"" + local + "/local-file\" is not a directory name"},
        {local + "/readonly", true, false,
         "Directory \"" + local + "/readonly\" has a read only attribute"},
        {local + "/x/y", true, false, "Could not create directory \"" + local + "/x/y\""},
        {local + "/agent/", true, true, ""},
        {"", true, false, "No agent directory is set for this dynamic site"},
    };
    for (const Case& c : cases) {
        SetLastMessageText("");
        CSiteSynthesizer synth(work.string(), c.directory, Params(true), c.dynamic, nullptr);
        EXPECT_EQ(synth.Synthesize(*map), c.ok) << c.directory;
        EXPECT_EQ(GetLastMessage(), c.message) << c.directory;
    }
    EXPECT_TRUE(fs::is_directory(site / "made"));
    EXPECT_TRUE(fs::is_directory(base / "agent"));
    EXPECT_TRUE(fs::exists(base / "agent" / "quorvane.properties"));
    EXPECT_TRUE(fs::exists(site / "quorvane.properties"));

    map->SetAccess(nullptr);
    CSiteSynthesizer unreachable(work.string(), "tarvik", Params(true), false, nullptr);
    EXPECT_FALSE(unreachable.Synthesize(*map));
    EXPECT_EQ(GetLastMessage(), "The site's files cannot be reached");
}

TEST_F(Synthesis, DynamicSitesGetFilesButNoPageEdits) {
    CSitePage* index = Page("/index.html");
    Link(index, Page("/p1.html"));
    WriteAppletFiles();
    const std::string before = ReadWholeFile(SitePath("/index.html"));
    const fs::path agent = base / "dyn" / "agent";
    fs::create_directories(agent.parent_path());
    CSiteSynthesizer synth(work.string(), agent.string(), Params(true), true, nullptr);
    ASSERT_TRUE(Run(synth)) << GetLastMessage();
    EXPECT_EQ(ReadWholeFile(agent / "index.qvf"),
              "/index.html\n/agent/fetch0x0.qvf\n/p1.html\n@@\n");
    EXPECT_EQ(ReadWholeFile(agent / "fetch0x0.qvf"), "@@\np1.html\n#p1.html\n");
    EXPECT_EQ(ReadWholeFile(SitePath("/index.html")), before);
    EXPECT_FALSE(fs::exists(site / "agent"));
}

TEST_F(Synthesis, TheSiteRootAsAgentDirectory) {
    CSitePage* index = Page("/index.html");
    Link(index, Page("/d/p.html"));
    Link(map->FindPage("/d/p.html"), index);
    WriteAppletFiles();
    CSiteSynthesizer synth(work.string(), "", Params(true), false, nullptr);
    ASSERT_TRUE(Run(synth)) << GetLastMessage();
    // No doubled slash: "//fetch0x0.qvf" would name a host in a browser.
    EXPECT_EQ(ReadWholeFile(site / "index.qvf"),
              "/index.html\n/fetch0x0.qvf\n/d/p.html\n/fetch1x0.qvf\n");
    EXPECT_EQ(ReadWholeFile(site / "fetch1x0.qvf"), "@@\n../index.html\n#../index.html\n");
    const std::string page = ReadWholeFile(SitePath("/d/p.html"));
    EXPECT_NE(page.find("Codebase=\"../\" "), std::string::npos);
    EXPECT_NE(page.find("VALUE=\"../fetch1x0.qvf\">"), std::string::npos);
}

TEST_F(Synthesis, FrameSetsGetNothingAndTheirFramesAreHandled) {
    CSitePage* frames = Page("/frames.html");
    CSitePage* left = Page("/left.html");
    frames->Frames = {left};
    Link(frames, Page("/x.html"));
    Link(left, map->FindPage("/x.html"));
    WriteAppletFiles();
    const std::string before = ReadWholeFile(SitePath("/frames.html"));
    CSiteSynthesizer synth(work.string(), "tarvik", Params(true), false, nullptr);
    ASSERT_TRUE(Run(synth)) << GetLastMessage();
    EXPECT_EQ(ReadWholeFile(site / "tarvik" / "index.qvf"),
              "/left.html\n/tarvik/fetch1x0.qvf\n/x.html\n@@\n");
    EXPECT_FALSE(fs::exists(site / "tarvik" / "fetch0x0.qvf"));
    EXPECT_EQ(ReadWholeFile(SitePath("/frames.html")), before);
}

TEST_F(Synthesis, APageThatCannotBeWrittenStopsTheRun) {
    CSitePage* index = Page("/index.html");
    CSitePage* locked = Page("/locked.html");
    Page("/missing.html", -1);  // no file: not planned, not reported
    Page("/docs/later.html");
    Link(index, locked);
    WriteAppletFiles();
    fs::permissions(SitePath("/locked.html"), fs::perms::owner_read);
    RecordingSink sink;
    CSiteSynthesizer synth(work.string(), "tarvik", Params(true), false, &sink);
    EXPECT_FALSE(Run(synth));
    EXPECT_EQ(GetLastMessage(), "Could not write file /locked.html");
    EXPECT_NE(ReadWholeFile(SitePath("/index.html")).find("<Quorvane>"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(SitePath("/docs/later.html")).find("<Quorvane>"), std::string::npos);
    EXPECT_FALSE(fs::exists(site / "tarvik" / "index.qvf"));
    EXPECT_TRUE(fs::exists(site / "tarvik" / "fetch0x0.qvf"));
    EXPECT_EQ(sink.statuses, (std::vector<std::string>{
                                 "Concluding Caching Instructions", "Processing page index.html",
                                 "Processing page locked.html", "Processing page later.html",
                                 "Preparing site pages list", "Processing page index.html",
                                 "Processing page locked.html"}));
    EXPECT_EQ(sink.progress, (std::vector<int>{0, 0, 25, 75, 0, 0, 25}));
    EXPECT_TRUE(sink.messages.empty());
}

}  // namespace
