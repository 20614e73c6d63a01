#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SiteFixture.h"
#include "synthesis/SiteSynthesizer.h"

namespace {

std::vector<std::string> Lines(const PrefetchList& list) {
    std::vector<std::string> lines;
    for (const PrefetchEntry& entry : list) {
        lines.push_back((entry.IsPageMarker ? "#" : "") + entry.File->Name);
    }
    return lines;
}

std::vector<bool> Marks(const CSitePage* page) {
    std::vector<bool> marks;
    for (const auto& link : page->Links) {
        marks.push_back(link->IsPrefetched);
    }
    return marks;
}

CachingParams Params(int32_t pageLimit = -1, int64_t byteLimit = -1) {
    CachingParams params;
    params.Extensions = kHtmlAndImages;
    params.PageLimit = pageLimit;
    params.ByteLimit = byteLimit;
    return params;
}

using Planning = SiteFixture;

TEST_F(Planning, FrameSetsAndOwnFramesAreNeverChosen) {
    CSitePage* frames = Page("/frames.html");
    CSitePage* left = Page("/left.html");
    CSitePage* right = Page("/right.html");
    CSitePage* other = Page("/other.html");
    frames->Frames = {left, right};
    Link(frames, left);
    Link(frames, other)->IsPrefetched = true;  // left from an earlier run
    Link(left, other);

    CSitePage* self = Page("/self.html");
    Link(self, self);
    Link(self, other);

    CSiteSynthesizer synth(work.string(), "tarvik", Params(1), false, nullptr);
    EXPECT_TRUE(synth.ConcludeCachingInstructions(*map));
    EXPECT_EQ(Marks(frames), (std::vector<bool>{false, true}));  // a frame set keeps its marks
    EXPECT_EQ(Marks(left), (std::vector<bool>{true}));           // frames are pages of their own
    // The first position is the page itself; the limit of one position is then used up.
    EXPECT_EQ(Marks(self), (std::vector<bool>{false, false}));
    EXPECT_TRUE(synth.BuildPrefetchList(self)->empty());
}

TEST_F(Planning, LimitsCountLinkPositionsAndBytes) {
    CSitePage* page = Page("/page.html");
    CSitePage* learnt = Page("/learnt.html");
    CSitePage* a = Page("/a.html", 4000);
    CSitePage* b = Page("/b.html", 5000);
    CSitePage* c = Page("/c.html", 100);
    a->AddImage(File("/img/a.gif", 3000));
    b->AddImage(File("/img/b.gif", 2000));
    Link(page, learnt, false, 100.0);  // only in the logs: never chosen, whatever its weight
    Link(page, a);
    Link(page, b);
    Link(page, c);

    // Two positions: the learnt link uses up the first one.
    CSiteSynthesizer positions(work.string(), "tarvik", Params(2), false, nullptr);
    positions.ConcludeCachingInstructions(*map);
    EXPECT_EQ(Marks(page), (std::vector<bool>{false, true, false, false}));

    // 10 KB: a (7000 bytes) and b (the page carries the total to 12000) are chosen, c is not.
    // Within b, the image after the page that passed the limit is left out; its marker stays.
    CSiteSynthesizer bytes(work.string(), "tarvik", Params(-1, 10 * 1024), false, nullptr);
    bytes.ConcludeCachingInstructions(*map);
    EXPECT_EQ(Marks(page), (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(
        Lines(*bytes.BuildPrefetchList(page)),
        (std::vector<std::string>{"/a.html", "/img/a.gif", "#/a.html", "/b.html", "#/b.html"}));
}

TEST_F(Planning, AddPrefetchFileRules) {
    CSitePage* page = Page("/p.html", 100);
    CSiteFile* missing = File("/gone.gif", -1);
    CSiteSynthesizer synth(work.string(), "tarvik", Params(-1, 100), false, nullptr);
    synth.ConcludeCachingInstructions(*map);

    PrefetchList list;
    int64_t total = 0;
    list.Append(page, true);  // a marker does not count as holding the file
    EXPECT_TRUE(synth.AddPrefetchFile(page, total, list));
    EXPECT_EQ(total, 100);
    EXPECT_FALSE(synth.AddPrefetchFile(page, total, list));  // already held
    // At the limit, not past it: still taken. A size that cannot be had adds nothing.
    EXPECT_TRUE(synth.AddPrefetchFile(missing, total, list));
    EXPECT_EQ(total, 100);
    total = 101;
    EXPECT_FALSE(synth.AddPrefetchFile(File("/x.gif"), total, list));
    EXPECT_EQ(list.size(), 3u);

    // Past the point where the list answers from its set.
    for (int i = 0; i < 40; ++i) {
        total = 0;
        EXPECT_TRUE(synth.AddPrefetchFile(File("/f" + std::to_string(i) + ".gif"), total, list));
    }
    EXPECT_FALSE(synth.AddPrefetchFile(map->FindFile("/f3.gif"), total, list));
    EXPECT_FALSE(synth.AddPrefetchFile(page, total, list));
}

TEST_F(Planning, CacheableByExtensionSubstringOrQuery) {
    struct Case {
        const char* extensions;
        bool cgi;
        const char* name;
        bool cacheable;
    };
    const Case cases[] = {
        {".pdf, .exe", false, "/doc/a.pdf", true},
        {".pdf, .exe", false, "/setup.EXE", true},
        {".pdf, .exe", false, "/readme", true},  // the empty extension is in any text
        {".pdf, .exe", false, "/dir.v2/file", true},
        {".pdf, .exe", false, "/a.gif", false},
        {"html\r\nhtm\r\n", false, "/a.ht", true},  // "ht" is in "html"
        {"", false, "/readme", false},
        {"asp\r\n", false, "/list.asp?id=3", false},  // a query follows the CGI switch only
        {"asp\r\n", false, "/list.asp", true},
        {"html\r\n", true, "/run.exe?x=1", true},
        {"", true, "/cgi?x", true},
    };
    for (const Case& c : cases) {
        CachingParams params;
        params.Extensions = c.extensions;
        params.CacheCGI = c.cgi;
        CSiteSynthesizer synth(work.string(), "tarvik", params, false, nullptr);
        CSiteFile file(c.name);
        EXPECT_EQ(synth.IsCacheable(&file), c.cacheable) << c.extensions << " " << c.name;
    }
}

TEST_F(Planning, SharedFilesStandOnceAndMarkersFollowTheirFiles) {
    CSitePage* page = Page("/page.html");
    CSitePage* a = Page("/a.html");
    CSitePage* frame = Page("/frame.html");
    CSitePage* c = Page("/c.html");
    CSiteFile* logo = File("/logo.gif");
    CSiteFile* pdf = File("/doc.pdf");  // not a listed type
    a->Frames = {frame};
    a->AddImage(logo);
    frame->AddImage(logo);
    frame->AddImage(File("/f.jpg"));
    c->AddImage(logo);
    c->AddImage(pdf);
    Link(page, a);
    Link(page, frame);  // also a frame of the first target
    Link(page, c);

    CSiteSynthesizer synth(work.string(), "tarvik", Params(), false, nullptr);
    synth.ConcludeCachingInstructions(*map);
    EXPECT_EQ(Marks(page), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(Lines(*synth.BuildPrefetchList(page)),
              (std::vector<std::string>{"/a.html", "/logo.gif", "/frame.html", "/f.jpg", "#/a.html",
                                        "#/frame.html", "/c.html", "#/c.html"}));
}

TEST_F(Planning, ForcedOrderAndPagesLeftOut) {
    CSitePage* page = Page("/page.html");
    CSitePage* a = Page("/a.html");
    CSitePage* b = Page("/b.html");
    CSitePage* z = Page("/z.html");  // not linked from the page
    z->AddImage(File("/z.gif"));
    Link(page, a);
    Link(page, b);
    page->ForcePrefetchOrder = true;
    page->ForcedPrefetchPages = {z, a};

    CSitePage* quiet = Page("/quiet.html");
    Link(quiet, a);
    quiet->IsAccelerated = false;

    CSiteSynthesizer synth(work.string(), "tarvik", Params(1), false, nullptr);
    synth.ConcludeCachingInstructions(*map);
    EXPECT_EQ(Marks(page), (std::vector<bool>{true, false}));  // no limit for a forced order
    EXPECT_EQ(Lines(*synth.BuildPrefetchList(page)),
              (std::vector<std::string>{"/z.html", "/z.gif", "#/z.html", "/a.html", "#/a.html"}));
    EXPECT_EQ(Marks(quiet), (std::vector<bool>{true}));
    EXPECT_FALSE(synth.BuildPrefetchList(quiet).has_value());
}

}  // namespace
