// The tarvik commands as scripts see them: each case of transcripts.txt (its first lines say how
// one is written) runs the built binary in a scratch directory and checks status, stdout, stderr.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/TarvikRunner.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

struct Step {
    int line = 0;
    std::string op;    // "$" for a command, else a file directive
    std::string rest;  // the rest of the line
    std::vector<std::string> out, err;
    int status = 0;
};

struct Case {
    std::string name;
    std::vector<Step> steps;
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

std::vector<Case> ReadTranscripts() {
    std::ifstream in(TARVIK_SOURCE_DIR "/tests/cli/transcripts.txt");
    if (!in)
        ADD_FAILURE() << "transcripts.txt cannot be read";
    std::vector<Case> cases;
    std::map<std::string, std::vector<std::string>> blocks;  // ":: name" blocks, for "use name"
    std::vector<std::string>* block = nullptr;
    std::function<void(const std::string&, int)> add = [&](const std::string& line, int n) {
        const std::size_t space = line.find(' ');
        const std::string op = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        std::vector<Step>& steps = cases.back().steps;
        if (op == "use") {
            for (const std::string& used : blocks[rest])
                add(used, n);
        } else if (op[0] == '|' || op[0] == '!') {
            // Kept as "=text" (exact), "~regex" or "..." (any lines).
            const std::string want = op.size() == 1                 ? "=" + rest
                                     : op[1] == '~'                 ? "~" + rest
                                     : op == "|..." || op == "!..." ? "..."
                                                                    : "";
            if (want.empty() || steps.empty())
                ADD_FAILURE() << "transcripts.txt:" << n << ": not an output line of a command";
            else
                (op[0] == '|' ? steps.back().out : steps.back().err).push_back(want);
        } else if (op == "$*") {
            steps.push_back({n, "$", rest, {"..."}, {"..."}, 0});
        } else if (op == "?") {
            steps.back().status = std::stoi(rest);
        } else {
            steps.push_back({n, op, rest, {}, {}, 0});
        }
    };
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line.starts_with("== ")) {
            cases.push_back(
                {std::regex_replace(line.substr(3), std::regex("[^A-Za-z0-9]"), "_"), {}});
            block = nullptr;
        } else if (line.starts_with(":: ")) {
            block = &blocks[line.substr(3)];
        } else if (block != nullptr) {
            block->push_back(line);
        } else if (cases.empty()) {
            ADD_FAILURE() << "transcripts.txt:" << n << ": outside a case";
        } else {
            add(line, n);
        }
    }
    return cases;
}

// Backslash escapes of file contents: \n, \t, \r, \\ and \xHH.
std::string Unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'x' && i + 2 < text.size()) {
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        }
    }
    return bytes;
}

// Words split at spaces; 'single quotes' keep spaces, '' is an empty word.
std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> std::quoted(word, '\'', '\0');)
        words.push_back(word);
    return words;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Expected lines: "=text" matches exactly, "~regex" one matching line, "..." any lines.
bool Matches(const std::vector<std::string>& want, std::size_t w,
             const std::vector<std::string>& got, std::size_t g) {
    if (w == want.size())
        return g == got.size();
    if (want[w] == "...") {
        for (std::size_t k = g; k <= got.size(); ++k) {
            if (Matches(want, w + 1, got, k))
                return true;
        }
        return false;
    }
    if (g == got.size())
        return false;
    const bool same = want[w][0] == '~' ? std::regex_match(got[g], std::regex(want[w].substr(1)))
                                        : want[w] == "=" + got[g];
    return same && Matches(want, w + 1, got, g + 1);
}

std::string Replace(std::string text, const std::map<std::string, std::string>& vars) {
    for (const auto& [name, value] : vars) {
        for (std::size_t at; (at = text.find(name)) != std::string::npos;)
            text.replace(at, name.size(), value);
    }
    return text;
}

class Transcript : public testing::TestWithParam<Case> {};

TEST_P(Transcript, Holds) {
    CTempDir dir("transcript");
    const std::map<std::string, std::string> vars = {{"$REG", dir / "config/quorvane/tarvik.reg"},
                                                     {"$WORK", dir / "data/quorvane/tarvik"},
                                                     {"$RUNTIME", TARVIK_BINARY_DIR "/runtime"},
                                                     {"$D", dir.Path()}};
    std::map<std::string, std::string> kept;
    for (const Step& step : GetParam().steps) {
        SCOPED_TRACE("transcripts.txt:" + std::to_string(step.line));
        const std::vector<std::string> words = Words(Replace(step.rest, vars));
        auto path = [&](std::size_t i) {
            return i < words.size() && words[i].starts_with("/") ? words[i] : dir / words.at(i);
        };
        const std::string text =
            words.size() > 1 ? Unescape(Replace(step.rest.substr(step.rest.find(' ') + 1), vars))
                             : "";
        if (step.op == "$") {
            TarvikCall call(words, {"HOME=" + dir.Path(), "XDG_CONFIG_HOME=" + (dir / "config"),
                                    "XDG_DATA_HOME=" + (dir / "data")});
            const TarvikResult r = RunTarvik(call, dir / "run");
            std::vector<std::string> out, err;
            for (const std::string& l : step.out)
                out.push_back(Replace(l, vars));
            for (const std::string& l : step.err)
                err.push_back(Replace(l, vars));
            EXPECT_EQ(r.status, step.status) << step.rest << "\n" << r.err;
            EXPECT_TRUE(Matches(out, 0, Lines(r.out), 0)) << step.rest << "\nstdout:\n" << r.out;
            EXPECT_TRUE(Matches(err, 0, Lines(r.err), 0)) << step.rest << "\nstderr:\n" << r.err;
            EXPECT_TRUE(r.out.empty() || r.out.ends_with("\n")) << r.out;
        } else if (step.op == "file" || step.op == "append") {
            fs::create_directories(fs::path(path(0)).parent_path());
            std::ofstream(path(0),
                          step.op == "file" ? std::ios::binary : std::ios::binary | std::ios::app)
                << text;
        } else if (step.op == "link") {
            fs::create_symlink(words.at(1), path(0));
        } else if (step.op == "mkdir") {
            fs::create_directories(path(0));
        } else if (step.op == "rm") {
            fs::remove_all(path(0));
        } else if (step.op == "truncate") {
            fs::resize_file(path(0), std::stoul(words.at(1)));
        } else if (step.op == "keep") {
            kept[path(0)] = ReadWholeFile(path(0));
        } else if (step.op == "unchanged") {
            EXPECT_EQ(ReadWholeFile(path(0)), kept[path(words.size() > 1 ? 1 : 0)]) << path(0);
        } else if (step.op == "pad") {
            std::ofstream(path(0), std::ios::binary | std::ios::app)
                << std::string(std::stoul(words.at(1)) - fs::file_size(path(0)), ' ');
        } else if (step.op == "has" || step.op == "lacks") {
            const bool found = ReadWholeFile(path(0)).find(text) != std::string::npos;
            EXPECT_EQ(found, step.op == "has") << path(0) << ": " << text;
        } else if (step.op == "exists" || step.op == "absent") {
            EXPECT_EQ(fs::exists(path(0)), step.op == "exists") << path(0);
        } else {
            ADD_FAILURE() << "unknown directive " << step.op;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, Transcript, testing::ValuesIn(ReadTranscripts()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
