#include "SiteGenerator.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "base/PathRules.h"

namespace fs = std::filesystem;

namespace {

struct Section {
    const char* dir;
    const char* stem;
    const char* ext;
    int share;
};
// The same sections, shares and order as the log generator.
const Section kSections[] = {{"docs", "page", ".html", 45},
                             {"products", "item", ".html", 25},
                             {"news", "story", ".htm", 15},
                             {"app", "view", ".asp", 15}};

std::string ImageName(int j) {
    return "/img/i" + std::to_string(j) + (j % 3 ? ".gif" : ".jpg");
}

bool WriteFile(const fs::path& path, const std::string& text, long long* bytes,
               std::string* error) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) {
        if (error)
            *error = "cannot write " + path.string();
        return false;
    }
    *bytes += static_cast<long long>(text.size());
    return true;
}

}  // namespace

std::string GeneratedPageName(int i) {
    if (i == 0) {
        return "/index.html";
    }
    int total = 0;
    for (const Section& s : kSections)
        total += s.share;
    int x = static_cast<int>((static_cast<long long>(i) * 7919) % total);
    int acc = 0;
    const Section* chosen = &kSections[0];
    for (const Section& s : kSections) {
        acc += s.share;
        chosen = &s;
        if (x < acc)
            break;
    }
    return std::string("/") + chosen->dir + "/" + chosen->stem + std::to_string(i) + chosen->ext;
}

bool GenerateSite(const std::string& root, int pages, unsigned seed, SiteGeneratorStats* stats,
                  std::string* error) {
    SiteGeneratorStats local;
    SiteGeneratorStats& st = stats ? *stats : local;
    st = SiteGeneratorStats();
    std::mt19937 rng(seed);
    const int images = std::max(50, pages / 10);
    std::uniform_int_distribution<int> anyPage(0, pages - 1);
    std::uniform_int_distribution<int> anyImage(0, images - 1);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> linkCount(8, 12);

    for (int j = 0; j < images; ++j) {
        std::string body(static_cast<std::size_t>(100 + (j * 37) % 1900), 'x');
        if (!WriteFile(fs::path(root) / ImageName(j).substr(1), body, &st.bytes, error)) {
            return false;
        }
    }
    st.images = images;

    for (int i = 0; i < pages; ++i) {
        const std::string name = GeneratedPageName(i);
        std::string html = "<html><head><title>Page " + std::to_string(i) + "</title></head>\n";
        if (i % 50 == 25 && pages > 3) {
            int a = (i + 1) % pages;
            int b = (i + 2) % pages;
            html += "<frameset cols=\"30%,70%\">\n<frame src=\"" +
                    RelativePath(name, GeneratedPageName(a)) + "\">\n<frame src=\"" +
                    RelativePath(name, GeneratedPageName(b)) + "\">\n</frameset>\n</html>\n";
            ++st.frameSets;
        } else {
            html += "<body>\n<h1>Page " + std::to_string(i) + "</h1>\n";
            std::vector<int> targets;
            if (i + 1 < pages)
                targets.push_back(i + 1);  // a chain keeps every page reachable
            if (i != 0)
                targets.push_back(0);
            int k = linkCount(rng);
            while (static_cast<int>(targets.size()) < k && pages > 1) {
                int j = unit(rng) < 0.5 ? static_cast<int>(pages * std::pow(unit(rng), 3))
                                        : anyPage(rng);
                if (j != i)
                    targets.push_back(j);
            }
            for (int j : targets) {
                html += "<p><a href=\"" + RelativePath(name, GeneratedPageName(j)) + "\">page " +
                        std::to_string(j) + "</a></p>\n";
            }
            for (int n = 0; n < 3; ++n) {
                html += "<img src=\"" + RelativePath(name, ImageName(anyImage(rng))) + "\">\n";
            }
            html += "</body>\n</html>\n";
        }
        if (!WriteFile(fs::path(root) / name.substr(1), html, &st.bytes, error)) {
            return false;
        }
    }
    st.pages = pages;
    return true;
}
