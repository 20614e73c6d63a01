// The loader's own requests in an access log: fetch files mark page views (cache hits among them),
// the names on a fetch file's list are prefetches, the loader's files are no hits. A site in a
// temporary directory carries the files a run deployed; every weight below is counted by hand.
#include <gtest/gtest.h>

#include "../log/LogTestUtil.h"
#include "agent/AgentSettings.h"
#include "log/CommonLogReader.h"
#include "log/LogAnalyzer.h"
#include "log/MemoryLogStream.h"
#include "site/LocalSiteAccess.h"
#include "sitemap/SiteMap.h"
#include "synthesis/DeployedLoader.h"

namespace {

using logtest::Line;

const std::string kHome = "http://www.example.com/index.html";

class LoaderTrafficTest : public logtest::ZoneTest {
  protected:
    void SetUp() override {
        t0 = LocalTime(2026, 10, 1, 10, 0, 0);
        ASSERT_TRUE(site.WriteFile("index.html", std::string(7000, 'h')));  // loads in 2 s
        for (const char* name : {"a.html", "b.html", "c.html", "img.gif"}) {
            ASSERT_TRUE(site.WriteFile(name, "x"));
        }
        // The home page plans a.html, img.gif and b.html (a marker entry); a.html plans b.html;
        // c.html plans d.html.
        ASSERT_TRUE(
            site.WriteFile("tarvik/index.qvf",
                           "/index.html\n/tarvik/fetch0x0.qvf\n/a.html\ntarvik/fetch1x0.qvf\n"
                           "/c.html\n/tarvik/fetch2x0.qvf\n/b.html\n@@\n"));
        ASSERT_TRUE(site.WriteFile("tarvik/fetch0x0.qvf", "@@\na.html\nimg.gif\n#b.html\n"));
        ASSERT_TRUE(site.WriteFile("tarvik/fetch1x0.qvf", "@@\nb.html\n"));
        ASSERT_TRUE(site.WriteFile("tarvik/fetch2x0.qvf", "@@\nd.html\n"));
        Fresh();
    }
    void Fresh() {
        analyzer.reset();
        graph = std::make_unique<CSiteMap>("index.html");
        graph->SetAccess(std::make_unique<CLocalSiteAccess>(site.Path()));
    }
    void Analyzer(double decay = 1.0, bool loader = true) {
        graph->SetDecay(kLogDecayPeriod, decay);
        directory = ReadDeployedLoader(*graph, "tarvik", false);
        analyzer =
            std::make_unique<CLogAnalyzer>(*graph, "www.example.com", 0, t0 + 86400, nullptr);
        if (loader) {
            analyzer->SetLoader(&directory, 120);
        }
    }
    void Feed(const std::string& log) {
        CMemoryLogStream stream(log);
        CCommonLogReader reader(stream);
        ASSERT_GT(analyzer->ProcessRecords(reader).hits, 0);
    }
    // A view of the home page by client at t: its request, the loader's files and list.
    std::string HomeView(const std::string& client, time_t t) {
        return Line(t, client, "GET", "/index.html") +
               Line(t + 1, client, "GET", "/tarvik/quorvane.properties", kHome) +
               Line(t + 1, client, "GET", "/tarvik/fetch0x0.qvf", kHome) +
               Line(t + 2, client, "GET", "/a.html", kHome) +
               Line(t + 2, client, "GET", "/img.gif", kHome) +
               Line(t + 3, client, "GET", "/b.html", kHome);
    }
    double Weight(const std::string& from, const std::string& to) {
        CSitePage* source = graph->FindPage(from);
        CSitePage* target = graph->FindPage(to);
        CPageLink* link = source && target ? source->FindLink(target) : nullptr;
        return link ? link->Weight : 0.0;
    }

    CTempDir site{"loader"};
    std::unique_ptr<CSiteMap> graph;
    CLoaderDirectory directory;
    std::unique_ptr<CLogAnalyzer> analyzer;
    time_t t0 = 0;
};

// Ten visitors view the home page; six open a.html from the cache (only its fetch file is
// requested, 30 s later, and its loader prefetches b.html), two click c.html 40 s later, two
// leave.
TEST_F(LoaderTrafficTest, TenVisitorsLearnTheirClicksNotThePrefetches) {
    struct Row {
        double decay;
        bool loader;
        double homeA, homeB, homeC, aB;
        int32_t hits, samples, viewSum, loadSum, files;
    } rows[] = {
        // 8 transitions out of the home page: the prefetches do not bring the decay.
        {0.95, true, 6, 0, 2, 0, 18, 8, 260, 16, 0},
        // Without the loader known every prefetch is a click: 22 transitions out of the home
        // page, decayed at the 10th and the 20th.
        {0.95, false, 9.3125, 9.3125, 1.9, 6, 38, 0, 0, 0, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.decay << " " << row.loader);
        Fresh();
        Analyzer(row.decay, row.loader);
        std::string log;
        for (int v = 0; v < 10; ++v) {
            std::string client = "v" + std::to_string(v);
            time_t t = t0 + 100 * v;
            log += HomeView(client, t);
            if (v < 6) {
                log += Line(t + 30, client, "GET", "/tarvik/fetch1x0.qvf",
                            "http://www.example.com/a.html") +
                       Line(t + 31, client, "GET", "/b.html", "http://www.example.com/a.html");
            } else if (v < 8) {
                log += Line(t + 40, client, "GET", "/c.html", kHome);
            }
        }
        Feed(log);
        EXPECT_DOUBLE_EQ(Weight("/index.html", "/a.html"), row.homeA);
        EXPECT_DOUBLE_EQ(Weight("/index.html", "/b.html"), row.homeB);
        EXPECT_DOUBLE_EQ(Weight("/index.html", "/c.html"), row.homeC);
        EXPECT_DOUBLE_EQ(Weight("/a.html", "/b.html"), row.aB);
        EXPECT_EQ(graph->HitCount, row.hits);
        CSitePage* home = graph->FindPage("/index.html");
        if (row.loader) {
            EXPECT_EQ(home->ViewSamples, row.samples);
            EXPECT_EQ(home->ViewTimeSum, row.viewSum);
            EXPECT_EQ(home->LoadTimeSum, row.loadSum);
        }
        EXPECT_EQ(graph->FileCount(), row.files);
    }
}

TEST_F(LoaderTrafficTest, MarkersTabsAndTheWorkingTime) {
    const std::string aRef = "http://www.example.com/a.html";
    struct Row {
        const char* name;
        std::string log;
        double homeA, homeC, aC, cB;
    } rows[] = {
        // Arriving from elsewhere with a.html in the cache: a view of a.html, then a click.
        {"marker without a view",
         Line(t0, "w", "GET", "/tarvik/fetch1x0.qvf", aRef) +
             Line(t0 + 20, "w", "GET", "/c.html", aRef),
         0, 0, 1, 0},
        // The last second of the working time is still the loader's, the next is a click.
        {"prefetch at the working time",
         HomeView("w", t0) + Line(t0 + 121, "w", "GET", "/a.html", kHome), 0, 0, 0, 0},
        {"request after the working time",
         HomeView("w", t0) + Line(t0 + 122, "w", "GET", "/a.html", kHome), 1, 0, 0, 0},
        // Tab two opens c.html, whose loader reads its list before tab one's prefetches come.
        {"two tabs",
         Line(t0, "w", "GET", "/index.html") +
             Line(t0 + 1, "w", "GET", "/tarvik/fetch0x0.qvf", kHome) +
             Line(t0 + 2, "w", "GET", "/c.html", kHome) +
             Line(t0 + 2, "w", "GET", "/tarvik/fetch2x0.qvf", "http://www.example.com/c.html") +
             Line(t0 + 4, "w", "GET", "/a.html", kHome) +
             Line(t0 + 5, "w", "GET", "/b.html", kHome),
         0, 1, 0, 0},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fresh();
        Analyzer();
        Feed(row.log);
        EXPECT_EQ(Weight("/index.html", "/a.html"), row.homeA);
        EXPECT_EQ(Weight("/index.html", "/b.html"), 0.0);
        EXPECT_EQ(Weight("/index.html", "/c.html"), row.homeC);
        EXPECT_EQ(Weight("/a.html", "/c.html"), row.aC);
        EXPECT_EQ(Weight("/c.html", "/b.html"), row.cB);
    }
    EXPECT_EQ(graph->HitCount, 2);  // two tabs: the home page and c.html
}

// The log is rotated after the marker: the prefetches are in the next file.
TEST_F(LoaderTrafficTest, ARotatedLogKeepsTheClientsList) {
    Analyzer();
    std::string view = HomeView("w", t0);
    std::size_t cut = view.find("GET /a.html");
    cut = view.rfind('\n', cut) + 1;
    const std::string older = site / "access.log.1", newer = site / "access.log";
    ASSERT_TRUE(site.WriteFile("access.log.1", view.substr(0, cut)));
    ASSERT_TRUE(site.WriteFile("access.log", view.substr(cut)));
    int32_t count = 0;
    int64_t position = 0;
    EXPECT_EQ(analyzer->AnalyzeLogFile(older, 0, count, position).hits, 3);
    position = 0;
    EXPECT_EQ(analyzer->AnalyzeLogFile(newer, 0, count, position).hits, 3);
    EXPECT_EQ(graph->HitCount, 1);
    EXPECT_EQ(Weight("/index.html", "/a.html") + Weight("/index.html", "/b.html"), 0.0);
}

// A request the browser marks as a prefetch is one, whenever it comes and with no loader.
TEST_F(LoaderTrafficTest, APurposeFieldMakesAPrefetch) {
    const std::string w3c = "#Fields: date time c-ip cs-method cs-uri-stem cs(Referer)";
    auto w3cLines = [&](const std::string& purpose) {
        return "2026-10-01 10:00:00 w GET /index.html -" +
               std::string(purpose.empty() ? "" : " -") + "\n" +
               "2026-10-01 10:30:00 w GET /a.html " + kHome + purpose + "\n";
    };
    // The combined log's field: the run over a deployed loader.
    struct Row {
        const char* name;
        std::string log;
        double homeA;
    } rows[] = {
        {"w3c Sec-Purpose", w3c + " cs(Sec-Purpose)\n" + w3cLines(" prefetch;prerender"), 0},
        {"w3c Purpose", w3c + " cs(Purpose)\n" + w3cLines(" prefetch"), 0},
        {"w3c without", w3c + "\n" + w3cLines(""), 1},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fresh();
        analyzer =
            std::make_unique<CLogAnalyzer>(*graph, "www.example.com", 0, t0 + 86400, nullptr);
        analyzer->SetPurposeField("Sec-Purpose");
        CMemoryLogStream stream(row.log);
        int64_t position = 0;
        EXPECT_EQ(analyzer->ProcessLogStream(stream, 8, position).hits, 2);
        EXPECT_EQ(Weight("/index.html", "/a.html"), row.homeA);
    }
}

}  // namespace
