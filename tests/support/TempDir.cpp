#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

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
    return std::string(std::istreambuf_iterator<char>(in), {});
}

CTempDir::CTempDir(const std::string& prefix, bool worldReadable) {
    // TMPDIR may be private to the user; /tmp lets every user through.
    const char* env = worldReadable ? nullptr : std::getenv("TMPDIR");
    std::string pattern = std::string(env != nullptr && *env != '\0' ? env : "/tmp") + "/tarvik-" +
                          prefix + "-XXXXXX";
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
    std::error_code error;
    if (!parent.empty() && !fs::exists(fs::path(base) / parent, error) &&
        !MakeDirAt(base, parent.string())) {
        return false;
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
