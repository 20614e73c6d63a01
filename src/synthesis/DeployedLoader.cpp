#include "synthesis/DeployedLoader.h"

#include <sys/stat.h>

#include <vector>

#include "base/PathRules.h"
#include "res/StringTable.h"
#include "site/SiteAccess.h"
#include "site/TextBuffer.h"
#include "sitemap/SiteMap.h"
#include "synthesis/InstructionDecoder.h"
#include "synthesis/SiteSynthesizer.h"

namespace {

constexpr const char* kNoFile = "@@";
// A chain of fetch files longer than this is taken as a loop.
constexpr int kMostParts = 10000;

std::string Join(std::string_view directory, std::string_view name) {
    std::string path(directory);
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    path.append(name);
    return path;
}

class CDeployedReader {
  public:
    CDeployedReader(CSiteMap& map, const CSiteSynthesizer& names, bool isDynamicSite)
        : m_map(map),
          m_directory(names.AgentDirectory()),
          m_served(names.AgentDirectoryPath()),
          m_dynamic(isDynamicSite) {}

    // The lines of the agent directory's file name; false when it is missing or not well formed.
    bool Read(const std::string& name, std::vector<std::string>& lines) {
        std::string path = Join(m_directory, name);
        DecodedInstructions decoded;
        if (m_dynamic) {
            struct stat info {};
            if (stat(path.c_str(), &info) != 0 || !ReadInstructionFile(path, decoded)) {
                return false;
            }
        } else {
            CSiteAccess* access = m_map.GetAccess();
            CTextBuffer buffer;
            if (access == nullptr || !access->Exists(path) || !access->ReadFile(path, buffer) ||
                !DecodeInstructions(buffer.Data(), static_cast<std::size_t>(buffer.Length()),
                                    decoded)) {
                return false;
            }
        }
        lines = std::move(decoded.lines);
        return true;
    }

    // Adds page's chain of fetch files, starting at the served path first.
    void AddChain(const std::string& page, std::string first, CLoaderDirectory& out) {
        for (int part = 0; part < kMostParts && first != kNoFile; ++part) {
            std::string servedPrefix = Join(m_served, "");
            if (first.compare(0, servedPrefix.size(), servedPrefix) != 0) {
                return;
            }
            std::vector<std::string> lines;
            if (!Read(first.substr(servedPrefix.size()), lines) || lines.empty()) {
                return;
            }
            std::vector<std::string> names;
            for (std::size_t i = 0; i < lines.size(); ++i) {
                std::string_view line = lines[i];
                if (i == 0 && line == kNoFile) {
                    continue;
                }
                if (!line.empty() && line.front() == '#') {
                    line.remove_prefix(1);
                }
                names.push_back(ResolveLink(std::string_view(), page, line));
            }
            out.AddFetchFile(first, page, names);
            first = lines[0] == kNoFile ? std::string(kNoFile) : names.front();
        }
    }

    std::string Served(std::string_view name) const { return Join(m_served, name); }

  private:
    CSiteMap& m_map;
    std::string m_directory;
    std::string m_served;
    bool m_dynamic;
};

}  // namespace

CLoaderDirectory ReadDeployedLoader(CSiteMap& map, const std::string& filesDirectory,
                                    bool isDynamicSite) {
    CSiteSynthesizer names(std::string(), filesDirectory, CachingParams(), isDynamicSite, nullptr);
    CDeployedReader reader(map, names, isDynamicSite);
    CLoaderDirectory out(names.AgentDirectoryPath());
    StringList own;
    Tokenize(CSiteSynthesizer::kAppletFiles, own, ",; ");
    own.push_back(CSiteSynthesizer::kLoaderFile);
    own.push_back("index.qvf");
    own.push_back("quorvane.properties");
    for (const std::string& name : own) {
        out.AddLoaderFile(reader.Served(name));
    }
    std::vector<std::string> index;
    if (reader.Read("index.qvf", index)) {
        for (std::size_t i = 0; i + 1 < index.size(); i += 2) {
            std::string first = index[i + 1];
            if (first != kNoFile) {
                NormalizePath(first, true, false);
            }
            reader.AddChain(index[i], first, out);
        }
        return out;
    }
    for (const auto& page : map.Pages()) {
        reader.AddChain(page->Name,
                        reader.Served(FormatText("fetch%dx0.qvf", static_cast<int>(page->Index))),
                        out);
    }
    return out;
}
