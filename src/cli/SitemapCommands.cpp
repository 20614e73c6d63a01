// tarvik sitemap: crawls a local site and prints its page graph (and may save it as a statistics
// file); tarvik stats: prints the page graph of a statistics file. Both print either a text
// listing or a Graphviz DOT graph. Main thread; the crawl runs there too, with Ctrl-C as Stop.

#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "base/LastMessage.h"
#include "base/PathRules.h"
#include "cli/CliPrompt.h"
#include "cli/Commands.h"
#include "cli/TerminalSink.h"
#include "res/StringTable.h"
#include "site/LocalSiteAccess.h"
#include "sitemap/SiteMap.h"
#include "sitemap/SiteMapAnalyzer.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitStopped = 130;

enum class OutputFormat { Text, Dot };

// The --format value (its check lets only text and dot through, in any case).
OutputFormat FormatNamed(const std::string& name) {
    return EqualsNoCase(name, "dot") ? OutputFormat::Dot : OutputFormat::Text;
}

// Length of the valid UTF-8 sequence at text[i], or 0 when the byte there starts none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    std::size_t n = 0;
    unsigned min = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > text.size()) {
        return 0;
    }
    unsigned code = c & (0xFF >> (n + 1));
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return n;
}

void AppendHexByte(std::string& out, unsigned char c) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
}

// A name on one line of the listing: control bytes and bytes that are not UTF-8 as \xHH.
std::string Printable(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F) {
                AppendHexByte(out, c);
            } else {
                out += static_cast<char>(c);
            }
            ++i;
        } else if (std::size_t n = Utf8SequenceLength(name, i)) {
            out.append(name.substr(i, n));
            i += n;
        } else {
            AppendHexByte(out, c);
            ++i;
        }
    }
    return out;
}

// A DOT double-quoted string holding name as it is printed in the listing.
std::string DotQuoted(std::string_view name) {
    std::string out = "\"";
    for (char c : Printable(name)) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
    return out;
}

// Collects output and writes it to stdout in large pieces.
class COutput {
  public:
    void Line(const std::string& text) {
        m_text += text;
        m_text += '\n';
        if (m_text.size() >= 1 << 16) {
            Flush();
        }
    }
    std::string& Text() { return m_text; }
    // False when anything could not be written.
    bool Finish() {
        Flush();
        return std::fflush(stdout) == 0 && !m_failed;
    }

  private:
    void Flush() {
        if (!m_text.empty() &&
            std::fwrite(m_text.data(), 1, m_text.size(), stdout) != m_text.size()) {
            m_failed = true;
        }
        m_text.clear();
    }
    std::string m_text;
    bool m_failed = false;
};

// " size N" once a size is known, " no-size" when none was obtained, nothing before it is asked.
std::string SizeText(const CSiteFile& file) {
    if (file.Size >= 0) {
        return FormatString(IDS_CLI_LIST_SIZE, file.Size);
    }
    return file.Size == -2 ? std::string() : std::string(ResString(IDS_CLI_LIST_NO_SIZE));
}

void PrintText(const CSiteMap& map, COutput& out) {
    for (const auto& page : map.Pages()) {
        std::string line = FormatString(IDS_CLI_LIST_PAGE, Printable(page->Name).c_str());
        line += SizeText(*page);
        if (page->ForcePrefetchOrder) {
            line += ResString(IDS_CLI_LIST_FORCED_ORDER);
        }
        if (page->ViewSamples != 0 || page->ViewTimeSum != 0 || page->LoadTimeSum != 0) {
            line += FormatString(IDS_CLI_LIST_TIMES, page->ViewSamples, page->ViewTimeSum,
                                 page->LoadTimeSum);
        }
        out.Line(line);
        for (const auto& link : page->Links) {
            line = FormatString(IDS_CLI_LIST_LINK, Printable(link->Target->Name).c_str());
            if (link->IsStatic) {
                line += ResString(IDS_CLI_LIST_STATIC);
            }
            if (link->Weight != 0.0) {
                line += FormatString(IDS_CLI_LIST_WEIGHT, link->Weight);
            }
            if (link->IsPrefetched) {
                line += ResString(IDS_CLI_LIST_PREFETCHED);
            }
            if (link->PlanValue != -1.0) {
                line += FormatString(IDS_CLI_LIST_PLAN_VALUE, link->PlanValue);
            }
            out.Line(line);
        }
        for (const CSitePage* frame : page->Frames) {
            out.Line(FormatString(IDS_CLI_LIST_FRAME, Printable(frame->Name).c_str()));
        }
        for (const CSiteFile* image : page->Images) {
            out.Line(FormatString(IDS_CLI_LIST_IMAGE, Printable(image->Name).c_str()));
        }
        for (const CSitePage* forced : page->ForcedPrefetchPages) {
            out.Line(FormatString(IDS_CLI_LIST_FORCED, Printable(forced->Name).c_str()));
        }
    }
    for (const auto& file : map.Files()) {
        out.Line(FormatString(IDS_CLI_LIST_FILE, Printable(file->Name).c_str()) + SizeText(*file));
    }
}

// Pages are nodes n<index>, labelled with their names. Static links are solid edges, links
// known only from the logs dashed; a link with a weight carries it as its label. Frames are
// dotted edges labelled "frame".
void PrintDot(CSiteMap& map, COutput& out) {
    map.Renumber();
    out.Line("digraph site {");
    out.Line("  node [shape=box];");
    for (const auto& page : map.Pages()) {
        out.Line(FormatText("  n%d [label=%s];", page->Index, DotQuoted(page->Name).c_str()));
    }
    for (const auto& page : map.Pages()) {
        for (const auto& link : page->Links) {
            std::string attributes;
            if (!link->IsStatic) {
                attributes = "style=dashed";
            }
            if (link->Weight != 0.0) {
                if (!attributes.empty()) {
                    attributes += ", ";
                }
                attributes += FormatText("label=\"%g\"", link->Weight);
            }
            out.Line(FormatText("  n%d -> n%d%s%s%s;", page->Index, link->Target->Index,
                                attributes.empty() ? "" : " [", attributes.c_str(),
                                attributes.empty() ? "" : "]"));
        }
        for (const CSitePage* frame : page->Frames) {
            out.Line(FormatText("  n%d -> n%d [style=dotted, label=%s];", page->Index, frame->Index,
                                DotQuoted(ResString(IDS_CLI_DOT_FRAME_LABEL)).c_str()));
        }
    }
    out.Line("}");
}

bool Print(CSiteMap& map, OutputFormat format) {
    COutput out;
    if (format == OutputFormat::Dot) {
        PrintDot(map, out);
    } else {
        PrintText(map, out);
    }
    return out.Finish();
}

int StaticLinkCount(const CSiteMap& map) {
    int count = 0;
    for (const auto& page : map.Pages()) {
        for (const auto& link : page->Links) {
            count += link->IsStatic ? 1 : 0;
        }
    }
    return count;
}

struct SitemapOptions {
    std::string root;
    std::string home = "index.html";
    std::string domain;
    std::string save;
    std::string format = "text";
};

int RunSitemap(const SitemapOptions& options) {
    struct stat st;
    if (stat(options.root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        PrintCliError(FormatString(IDS_CLI_NOT_A_SITE_ROOT, options.root.c_str()));
        return kExitFailure;
    }
    CSiteMap map(options.home);
    map.SetAccess(std::make_unique<CLocalSiteAccess>(options.root));

    bool ok = false;
    {
        CTerminalSink sink(stderr);
        CTerminalSink::InstallInterruptHandler(&sink);
        sink.SetTitle(ResString(IDS_ANALYZING_SITE));
        ok = RunSiteMapAnalysis(map, options.domain, &sink);
        CTerminalSink::InstallInterruptHandler(nullptr);
        sink.Finish();
        if (!ok && sink.IsStopped()) {
            PrintCliError(GetLastMessage());
            return kExitStopped;
        }
    }
    if (!ok) {
        PrintCliError(GetLastMessage());
        return kExitFailure;
    }
    std::fprintf(stderr, "%s\n",
                 FormatString(IDS_CLI_SITEMAP_SUMMARY, map.PageCount(), map.FileCount(),
                              StaticLinkCount(map))
                     .c_str());
    if (!options.save.empty()) {
        if (!map.Save(options.save)) {
            PrintCliError(FormatString(IDS_COULD_NOT_WRITE_STATS, options.save.c_str()));
            return kExitFailure;
        }
        std::fprintf(stderr, "%s\n",
                     FormatString(IDS_CLI_SITEMAP_SAVED, options.save.c_str()).c_str());
    }
    return Print(map, FormatNamed(options.format)) ? 0 : kExitFailure;
}

int RunStats(const std::string& file, OutputFormat format) {
    CSiteMap map("");
    bool otherFormat = false;
    if (!map.Load(file, &otherFormat)) {
        PrintCliError(FormatString(IDS_COULD_NOT_READ_STATS, file.c_str()));
        return kExitFailure;
    }
    if (otherFormat) {
        // The program itself takes such a file as an empty graph; asked to show one, say what
        // it is rather than print nothing.
        PrintCliError(FormatString(IDS_CLI_NOT_A_STATS_FILE, file.c_str()));
        return kExitFailure;
    }
    return Print(map, format) ? 0 : kExitFailure;
}

void AddFormatOption(CLI::App* command, std::string* format) {
    command->add_option("--format", *format, ResString(IDS_CLI_FORMAT_HELP))
        ->check(CLI::IsMember({"text", "dot"}, CLI::ignore_case))
        ->capture_default_str();
}

}  // namespace

void AddSitemapCommands(CLI::App& app) {
    auto sitemap = std::make_shared<SitemapOptions>();
    CLI::App* crawl = app.add_subcommand("sitemap", ResString(IDS_CLI_SITEMAP_HELP));
    crawl->add_option("ROOT", sitemap->root, ResString(IDS_CLI_SITEMAP_ROOT_HELP))->required();
    crawl->add_option("--home", sitemap->home, ResString(IDS_CLI_SITEMAP_HOME_HELP))
        ->capture_default_str();
    crawl->add_option("--domain", sitemap->domain, ResString(IDS_CLI_SITEMAP_DOMAIN_HELP));
    crawl->add_option("--save", sitemap->save, ResString(IDS_CLI_SITEMAP_SAVE_HELP));
    AddFormatOption(crawl, &sitemap->format);
    crawl->callback([sitemap] { SetExitStatus(RunSitemap(*sitemap)); });

    auto statsFile = std::make_shared<std::string>();
    auto statsFormat = std::make_shared<std::string>("text");
    CLI::App* stats = app.add_subcommand("stats", ResString(IDS_CLI_STATS_HELP));
    stats->add_option("FILE", *statsFile, ResString(IDS_CLI_STATS_FILE_HELP))->required();
    AddFormatOption(stats, statsFormat.get());
    stats->callback([statsFile, statsFormat] {
        SetExitStatus(RunStats(*statsFile, FormatNamed(*statsFormat)));
    });
}
