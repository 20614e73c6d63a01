// A run over the log of a site that carries the loader of an earlier run, on the local disk and
// as a dynamic site served by the test nginx (its agent directory a local path). Ten visitors
// view the home page, whose loader reads its list (a.html, the logo, b.html) and prefetches it;
// six then open a.html from the cache (only a's fetch file is asked for), two open c.html, two
// leave. The home page learns 6 and 2, every weight counted by hand.
#include <gtest/gtest.h>

#include "RunFixture.h"
#include "support/NginxServer.h"

namespace {

using namespace runtest;

using LoaderRunTest = RunFixture;

TEST_F(LoaderRunTest, TheHomePageLearnsTheClicksNotThePrefetches) {
    CNginxServer nginx;
    ASSERT_TRUE(WriteSite(nginx.DocRoot()));
    ASSERT_TRUE(nginx.Start());
    struct Row {
        const char* name;
        bool dynamic, deployed;
        int32_t workingTime;
        const char* purposeField;
        double homeA, homeB, homeC, bA;
        int32_t hits, samples;
    } rows[] = {
        {"as a site without the loader is read", false, false, 120, "", 10, 10, 2, -1, 32, 0},
        {"loader", false, true, 120, "", 6, 0, 2, -1, 18, 8},
        // b.html comes two seconds after the list: a click, and a's view from the cache is one
        // from b; unless the browser marked b's request as a prefetch.
        {"working time of a second", false, true, 1, "", 0, 10, 2, 6, 28, 10},
        {"purpose field", false, true, 1, "Sec-Purpose", 6, 0, 2, -1, 18, 8},
        {"dynamic site", true, true, 120, "", 6, 0, 2, -1, 18, 8},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string loader = row.dynamic ? "/agent" : "/tarvik";
        const std::string files = row.dynamic ? "agent" : "site/tarvik";
        fs::remove_all(dir / files);
        if (row.deployed) {
            ASSERT_TRUE(dir.WriteFile(files + "/index.qvf", "/index.html\n" + loader +
                                                                "/fetch0x0.qvf\n/a.html\n" +
                                                                loader + "/fetch1x0.qvf\n"));
            ASSERT_TRUE(dir.WriteFile(files + "/fetch0x0.qvf", "@@\na.html\nlogo.gif\n#b.html\n"));
            ASSERT_TRUE(dir.WriteFile(files + "/fetch1x0.qvf", "@@\nb.html\n"));
        }
        agent.IsDynamicSite = row.dynamic;
        agent.DomainName =
            row.dynamic ? "127.0.0.1:" + std::to_string(nginx.Port()) : "www.example.com";
        agent.FilesDirectory = row.dynamic ? dir / files : "tarvik";
        agent.StatWeight = 0;
        agent.LoaderWorkingTime = row.workingTime;
        agent.PurposeField = row.purposeField;
        const std::string site = "http://" + agent.DomainName;
        std::string log;
        for (int v = 0; v < 10; ++v) {
            const std::string client = "v" + std::to_string(v);
            const time_t t = t0 + 100 * v;
            std::string prefetch =
                logtest::Line(t + 3, client, "GET", "/b.html", site + "/index.html");
            prefetch.insert(prefetch.size() - 1, " sec-purpose=prefetch");
            log += logtest::Line(t, client, "GET", "/index.html") +
                   logtest::Line(t + 1, client, "GET", loader + "/fetch0x0.qvf",
                                 site + "/index.html") +
                   logtest::Line(t + 2, client, "GET", "/a.html", site + "/index.html") +
                   logtest::Line(t + 2, client, "GET", "/logo.gif", site + "/index.html") +
                   prefetch;
            if (v < 6) {
                log += logtest::Line(t + 30, client, "GET", loader + "/fetch1x0.qvf",
                                     site + "/a.html");
            } else if (v < 8) {
                log += logtest::Line(t + 40, client, "GET", "/c.html", site + "/index.html");
            }
        }
        WriteLog("access.log", log);
        ASSERT_TRUE(Run(nullptr, kRunMap | kRunLog)) << GetLastMessage();
        EXPECT_EQ(Weight("/index.html", "/a.html"), row.homeA);
        EXPECT_EQ(Weight("/index.html", "/b.html"), row.homeB);
        EXPECT_EQ(Weight("/index.html", "/c.html"), row.homeC);
        EXPECT_EQ(Weight("/b.html", "/a.html"), row.bA);
        EXPECT_EQ(Map().HitCount, row.hits);
        EXPECT_EQ(Page("/index.html")->ViewSamples, row.samples);
    }
}

}  // namespace
