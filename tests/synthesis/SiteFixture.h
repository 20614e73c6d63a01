// A real site in a temporary directory with its page graph, for the planning and synthesis
// tests: pages and files are written with the sizes asked for, and the graph reaches them
// through a local site access object.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "site/LocalSiteAccess.h"
#include "sitemap/SiteMap.h"
#include "support/RecordingSink.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

// The default extension lists of the HTML and image types, concatenated as the run does.
inline const std::string kHtmlAndImages =
    "html\r\nhtm\r\nbmp\r\neps\r\ngif\r\njpeg\r\njpg\r\npcx\r\ntif\r\ntiff\r\n";

class SiteFixture : public testing::Test {
  protected:
    void SetUp() override {
        site = base / "site";
        work = base / "work";
        fs::create_directories(site);
        fs::create_directories(work);
        map = std::make_unique<CSiteMap>("index.html");
        map->SetAccess(std::make_unique<CLocalSiteAccess>(site.string()));
    }

    static void WriteFile(const fs::path& path, const std::string& text) {
        ASSERT_TRUE(CTempDir::WriteFileAt("/", path.relative_path(), text)) << path;
    }
    fs::path SitePath(const std::string& name) const { return site / name.substr(1); }

    // A page of the graph whose file holds a small HTML page padded to size bytes (no file at
    // all when size is negative).
    CSitePage* Page(const std::string& name, int size = 200) {
        if (size >= 0) {
            std::string html = "<HTML>\r\n<BODY>" + name + "</BODY>\r\n</HTML>";
            if (static_cast<int>(html.size()) < size) {
                html.insert(14, std::string(static_cast<std::size_t>(size) - html.size(), ' '));
            }
            WriteFile(SitePath(name), html);
        }
        CSitePage* page = map->AddPage(name);
        map->GetPageSize(page);
        return page;
    }
    CSiteFile* File(const std::string& name, int size = 100) {
        if (size >= 0) {
            WriteFile(SitePath(name), std::string(static_cast<std::size_t>(size), 'x'));
        }
        CSiteFile* file = map->AddFile(name);
        map->GetPageSize(file);
        return file;
    }
    static CPageLink* Link(CSitePage* from, CSitePage* to, bool isStatic = true,
                           double weight = 0.0) {
        CPageLink* link = from->GetOrAddLink(to);
        link->IsStatic = isStatic;
        link->Weight = weight;
        return link;
    }
    void WriteAppletFiles(const std::vector<std::string>& names = {"qvan.zip", "qvan.cab",
                                                                   "qvan.jar", "quorvane.class",
                                                                   "a.class", "b.class"}) {
        for (const std::string& name : names) {
            fs::copy_file(fs::path(TARVIK_BINARY_DIR "/runtime") / name, work / name,
                          fs::copy_options::overwrite_existing);
        }
    }

    CTempDir scratch{"synth"};
    fs::path base = scratch.Path();
    fs::path site;
    fs::path work;
    std::unique_ptr<CSiteMap> map;
};
