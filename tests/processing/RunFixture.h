// A small real site for the processing-run tests: three pages and an image in a temporary
// directory, an access log of two visitors, the applet's six files (as built) in a working
// directory of their own, and an agent set up to run all of it with a backup. Also a sink that
// answers "stopped" from a given phase title on.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "agent/AgentList.h"
#include "agent/AgentSettings.h"
#include "base/LastMessage.h"
#include "log/LogTestUtil.h"
#include "processing/AgentRunTask.h"
#include "sitemap/SiteMap.h"
#include "support/RecordingSink.h"
#include "support/TempDir.h"

namespace runtest {

namespace fs = std::filesystem;

inline const std::vector<std::string> kAppletFiles = {"qvan.zip",       "qvan.cab", "qvan.jar",
                                                      "quorvane.class", "a.class",  "b.class"};
// The runtime files as the build made them.
inline const std::string kBuiltRuntime = TARVIK_BINARY_DIR "/runtime/";

inline const std::string kIndexHtml =
    "<html><body><a href=\"a.html\">A</a> <a href=\"b.html\">B</a>"
    "<img src=\"logo.gif\"></body></html>\n";
inline const std::string kAHtml =
    "<html><body><a href=\"b.html\">B</a> <a href=\"index.html\">home</a></body></html>\n";
inline const std::string kBHtml = "<html><body><a href=\"index.html\">home</a></body></html>\n";
inline const std::string kLogoGif = "GIF89a tiny";

// One GET in the combined format at local time t, as a web server writes it.
inline std::string LogLine(time_t t, const std::string& client, const std::string& url) {
    return logtest::Line(t, client, "GET", url);
}

class RunFixture : public testing::Test {
  public:
    RunFixture() : dir("run") {}

    void SetUp() override {
        t0 = time(nullptr) - 2 * 86400;
        ASSERT_TRUE(dir.MakeDir("site") && WriteSite(dir / "site"));
        ASSERT_TRUE(dir.MakeDir("backup"));
        ASSERT_TRUE(dir.MakeDir("work"));
        WriteApplets(dir / "work");
        // v1: index, a, b; v2: index, b. Five hits, transitions index->a, a->b, index->b.
        WriteLog("access.log", FirstLog());

        list.SetWorkDir(dir / "work");
        agent.AgentKey = "www.example.com 0";
        agent.DomainName = "www.example.com";
        agent.RootDirectory = dir / "site";
        agent.LogFile = dir / "logs/access.log";
        agent.StatRange = kRangeAll;
        agent.BackupDir = dir / "backup/site.zip";
    }

    std::string FirstLog() const {
        return LogLine(t0, "v1", "/index.html") + LogLine(t0 + 20, "v1", "/a.html") +
               LogLine(t0 + 50, "v1", "/b.html") + LogLine(t0 + 100, "v2", "/index.html") +
               LogLine(t0 + 130, "v2", "/b.html");
    }

    static void WriteApplets(const std::string& work) {
        for (const std::string& name : kAppletFiles) {
            ASSERT_TRUE(CTempDir::WriteFileAt(work, name, ReadWholeFile(kBuiltRuntime + name)));
        }
    }
    void WriteLog(const std::string& name, const std::string& text) const {
        ASSERT_TRUE(dir.WriteFile("logs/" + name, text));
    }
    // The three pages and the image below root (a server's, say), as SetUp wrote them.
    static bool WriteSite(const std::string& root) {
        return CTempDir::WriteFileAt(root, "index.html", kIndexHtml) &&
               CTempDir::WriteFileAt(root, "a.html", kAHtml) &&
               CTempDir::WriteFileAt(root, "b.html", kBHtml) &&
               CTempDir::WriteFileAt(root, "logo.gif", kLogoGif);
    }
    std::string Site(const std::string& name) const {
        return ReadWholeFile(dir / ("site/" + name));
    }

    bool Run(CProgressSink* sink, unsigned phases = kFullRun) {
        return RunAgent(list, agent, sink, phases);
    }

    CSiteMap& Map() { return *agent.SiteMap; }
    CSitePage* Page(const std::string& name) { return agent.SiteMap->FindPage(name); }
    // The learnt weight of the link from one page to another; -1 when either page or the link
    // is missing.
    double Weight(const std::string& from, const std::string& to) {
        CSitePage* source = Page(from);
        CSitePage* target = Page(to);
        CPageLink* link = source && target ? source->FindLink(target) : nullptr;
        return link ? link->Weight : -1;
    }
    // The page was rewritten with the applet (it differs from what the test wrote).
    bool Embedded(const std::string& name, const std::string& original) {
        const std::string now = Site(name);
        return now != original && now.find("startQuorvane") != std::string::npos;
    }
    bool PagesUntouched() {
        return Site("index.html") == kIndexHtml && Site("a.html") == kAHtml &&
               Site("b.html") == kBHtml;
    }

    CTempDir dir;
    time_t t0 = 0;
    CAgentList list;
    CAgentSettings agent;
};

}  // namespace runtest
