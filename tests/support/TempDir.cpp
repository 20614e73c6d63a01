#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Every directory from the root down to path lets others through (the x bit for others).
bool TraversableByOthers(const fs::path& path) {
    fs::path partial;
    for (const auto& part : fs::absolute(path)) {
        partial /= part;
        struct stat st;
        if (stat(partial.c_str(), &st) != 0 || (st.st_mode & S_IXOTH) == 0) {
            return false;
        }
    }
    return true;
}

std::string BaseDirectory(bool worldReadable) {
    const char* env = std::getenv("TMPDIR");
    std::string base = env != nullptr && *env != '\0' ? env : "/tmp";
    if (worldReadable && !TraversableByOthers(base)) {
        base = "/tmp";
    }
    return base;
}

}  // namespace

bool CurrentTestFailed() {
    const testing::UnitTest* unit = testing::UnitTest::GetInstance();
    if (unit->current_test_info() != nullptr) {
        return testing::Test::HasFailure();
    }
    const testing::TestSuite* suite = unit->current_test_suite();
    return suite != nullptr && suite->Failed();
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

CTempDir::CTempDir(const std::string& prefix, bool worldReadable) {
    std::string pattern = BaseDirectory(worldReadable) + "/tarvik-" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror(("mkdtemp " + pattern).c_str());
        std::abort();
    }
    m_path = pattern;
    if (worldReadable) {
        chmod(m_path.c_str(), 0755);
    }
}

CTempDir::~CTempDir() {
    if (CurrentTestFailed()) {
        std::fprintf(stderr, "[ kept     ] %s\n", m_path.c_str());
        return;
    }
    std::error_code ignored;
    // Files a test made read-only, or that a server wrote, go as well.
    fs::remove_all(m_path, ignored);
}

std::string CTempDir::operator/(const std::string& relative) const {
    return m_path + "/" + relative;
}

bool CTempDir::MakeDirAt(const std::string& base, const std::string& relative, unsigned mode) {
    // Levels made here get 0755 whatever the umask (a server running as another user must get
    // through them); the last level gets mode.
    fs::path dir = base;
    for (const auto& part : fs::path(relative)) {
        if (part.empty() || part == "/" || part == ".") {
            continue;
        }
        dir /= part;
        if (mkdir(dir.c_str(), 0755) == 0) {
            chmod(dir.c_str(), 0755);
        } else if (errno != EEXIST) {
            return false;
        }
    }
    return chmod(dir.c_str(), mode) == 0;
}

bool CTempDir::WriteFileAt(const std::string& base, const std::string& relative,
                           const std::string& contents) {
    const fs::path file = fs::path(base) / relative;
    const fs::path parent = fs::path(relative).parent_path();
    if (!parent.empty()) {
        struct stat st;
        if (stat((fs::path(base) / parent).c_str(), &st) != 0 &&
            !MakeDirAt(base, parent.string())) {
            return false;
        }
    }
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        if (!out) {
            return false;
        }
    }
    return chmod(file.c_str(), 0644) == 0;
}
