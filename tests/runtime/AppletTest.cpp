// The applet built from runtime/applet, loaded from its archive and started by a plain Java
// harness that plays the browser (AppletHarness.java), over pages and instruction files that
// the synthesizer wrote: which requests it makes, in which order, and what it shows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "base/LastMessage.h"
#include "base/PathRules.h"
#include "synthesis/InstructionDecoder.h"
#include "synthesis/SiteFixture.h"
#include "synthesis/SiteSynthesizer.h"

namespace {

using Lines = std::vector<std::string>;

class AppletTest : public SiteFixture {
  protected:
    void Synthesize(bool textForm, bool showPrefetch) {
        CachingParams params;
        params.Extensions = kHtmlAndImages;
        params.AsciiPrefetch = textForm;
        params.ShowPrefetch = showPrefetch;
        WriteAppletFiles();
        CSiteSynthesizer synth(work.string(), "tarvik", params, false, nullptr);
        ASSERT_TRUE(synth.ConcludeCachingInstructions(*map));
        ASSERT_TRUE(synth.Synthesize(*map)) << GetLastMessage();
    }

    // The harness's report for one page: "GET /path", "status: text" and "console: text" lines.
    Lines Browse(const std::string& page) const {
        const std::string report = (work / "harness.out").string();
        const std::string command = std::string(JAVA_EXE) +
                                    " -Djava.awt.headless=false -cp " HARNESS_DIR
                                    " AppletHarness '" +
                                    site.string() + "' '" + page + "' > '" + report + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::istringstream text(ReadWholeFile(report));
        Lines lines;
        for (std::string line; std::getline(text, line);) {
            lines.push_back(line);
        }
        return lines;
    }
};

TEST_F(AppletTest, TextFormListInOrderWithNotes) {
    CSitePage* index = Page("/index.html");
    CSitePage* p1 = Page("/p1.html");
    p1->AddImage(File("/img/logo.gif"));
    Link(index, p1);
    Link(index, Page("/sub/new menu.html"));
    Link(p1, index);
    Synthesize(true, true);

    EXPECT_EQ(Browse("/index.html"),
              (Lines{"GET /tarvik/quorvane.properties", "GET /tarvik/fetch0x0.qvf", "GET /p1.html",
                     "GET /img/logo.gif", "status: Prefetched p1.html", "GET /sub/new%20menu.html",
                     "status: Prefetched sub/new menu.html"}));
    EXPECT_EQ(Browse("/p1.html"),
              (Lines{"GET /tarvik/quorvane.properties", "GET /tarvik/fetch1x0.qvf",
                     "GET /index.html", "status: Prefetched index.html"}));
    // A page without a list ("@@") asks for nothing at all.
    EXPECT_EQ(Browse("/sub/new menu.html"), Lines{});

    // A fetch file cut inside its last line: nothing of it is fetched, and one console line.
    const fs::path fetch = site / "tarvik/fetch0x0.qvf";
    const std::string text = ReadWholeFile(fetch);
    WriteFile(fetch, text.substr(0, text.size() - 1));
    EXPECT_EQ(Browse("/index.html"),
              (Lines{"GET /tarvik/quorvane.properties", "GET /tarvik/fetch0x0.qvf",
                     "console: Quorvane: no prefetch list in /tarvik/fetch0x0.qvf"}));
}

TEST_F(AppletTest, ScrambledPartsFollowedToTheLast) {
    CSitePage* hub = Page("/sub/hub.html");
    for (int i = 0; i < 53; ++i) {
        Link(hub, Page("/sub/t" + std::to_string(i) + ".html"));
    }
    CSitePage* pictures = Page("/pictures.html");
    pictures->AddImage(File("/img/a.gif"));
    pictures->AddImage(File("/img/b.gif"));
    Link(hub, pictures);
    Synthesize(false, false);

    // What the list says, read with the program's own decoder: each part, then its entries
    // (markers are not fetched), everything relative to the page.
    Lines expected = {"GET /tarvik/quorvane.properties"};
    std::string part = "../tarvik/fetch" + std::to_string(hub->Index) + "x0.qvf";
    int parts = 0;
    while (part != "@@") {
        const std::string name = ResolveLink("www.example.com", "/sub/hub.html", part);
        expected.push_back("GET " + name);
        DecodedInstructions decoded;
        ASSERT_TRUE(ReadInstructionFile(SitePath(name).string(), decoded)) << GetLastMessage();
        ASSERT_TRUE(decoded.scrambled);
        for (std::size_t i = 1; i < decoded.lines.size(); ++i) {
            if (decoded.lines[i][0] != '#') {
                expected.push_back(
                    "GET " + ResolveLink("www.example.com", "/sub/hub.html", decoded.lines[i]));
            }
        }
        part = decoded.lines[0];
        ++parts;
    }
    ASSERT_EQ(parts, 3);
    ASSERT_EQ(expected.size(), 1u + 3u + 53u + 3u);
    EXPECT_EQ(Browse("/sub/hub.html"), expected);
}

}  // namespace
