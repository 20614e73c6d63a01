// The instruction files of CSiteSynthesizer: fetch files, index.qvf, quorvane.properties and the
// applet's files in the agent directory, and the page edits of a static site.
#include <sys/stat.h>

#include "base/LastMessage.h"
#include "base/PathRules.h"
#include "base/ProgressSink.h"
#include "embed/PageEmbedding.h"
#include "res/StringTable.h"
#include "site/AtomicFile.h"
#include "site/LocalSiteAccess.h"
#include "site/SiteAccess.h"
#include "site/TextBuffer.h"
#include "sitemap/SiteMap.h"
#include "synthesis/InstructionWriter.h"
#include "synthesis/SiteSynthesizer.h"

namespace {

// A part holds this many entries, unless fewer than kSmallestPart would be left after it; it
// then takes all the rest.
constexpr std::size_t kPartEntries = 50;
constexpr std::size_t kSmallestPart = 10;

// directory + "/" + name, without doubling the slash when the directory is the root "/" (a
// leading "//" would make a browser read the next name as a host).
std::string JoinPath(std::string_view directory, std::string_view name) {
    std::string path(directory);
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    path.append(name);
    return path;
}

std::string FetchFileName(int32_t pageIndex, int part) {
    return FormatText("fetch%dx%d.qvf", static_cast<int>(pageIndex), part);
}

}  // namespace

std::string CSiteSynthesizer::AgentDirectoryPath() const {
    if (!m_isDynamicSite) {
        return m_agentDirectory;
    }
    std::size_t slash = m_agentDirectory.rfind('/');
    return slash == std::string::npos ? std::string() : m_agentDirectory.substr(slash);
}

bool CSiteSynthesizer::Synthesize(CSiteMap& siteMap) {
    const bool written = WriteInstructions(siteMap);
    // Every file was replaced whole as it was written; what was written, all of it or what came
    // before a failure, now goes to disk in one wait.
    bool synced = true;
    if (m_isDynamicSite) {
        synced = !m_unsynced || CAtomicFile::SyncFileSystem(m_agentDirectory);
    } else if (m_access != nullptr) {
        synced = m_access->Sync();
    }
    m_unsynced = false;
    if (written && !synced) {
        SetLastMessage(IDS_COULD_NOT_WRITE_FILE, m_agentDirectory.c_str());
        return false;
    }
    return written;
}

bool CSiteSynthesizer::WriteInstructions(CSiteMap& siteMap) {
    m_access = siteMap.GetAccess();
    m_map = &siteMap;
    if (!PrepareAgentDirectory()) {
        return false;
    }
    SinkSetStatus(m_sink, ResString(IDS_PREPARING_PAGES));
    SinkSetProgress(m_sink, 0);
    siteMap.Renumber();

    m_index = std::make_unique<CTextBuffer>();
    m_indexWriter = std::make_unique<CInstructionWriter>(*m_index, m_params.AsciiPrefetch);

    const bool written = ForEachExistingPage(siteMap, [this](CSitePage* page) {
        std::optional<PrefetchList> list = BuildPrefetchList(page);
        return !list || WriteFetchFiles(page, *list) > 0;
    });
    if (!written) {
        return false;
    }

    if (m_indexWriter->Failed() || !WriteAgentFile("index.qvf", *m_index)) {
        SetLastMessage(IDS_COULD_NOT_WRITE_FILE, "index.qvf");
        return false;
    }
    if (!CopyAppletFiles()) {
        return false;
    }
    if (!WritePropertiesFile()) {
        SetLastMessage(IDS_COULD_NOT_WRITE_FILE, "quorvane.properties");
        return false;
    }
    return true;
}

bool CSiteSynthesizer::PrepareAgentDirectory() {
    const char* directory = m_agentDirectory.c_str();
    if (!m_isDynamicSite) {
        if (m_access == nullptr) {
            SetLastMessage(IDS_NO_SITE_ACCESS);
            return false;
        }
        if (m_access->Exists(m_agentDirectory)) {
            if (!m_access->IsDirectory(m_agentDirectory)) {
                SetLastMessage(IDS_NOT_A_DIRECTORY, directory);
                return false;
            }
            return true;
        }
        if (!m_access->CreateDirectory(m_agentDirectory)) {
            SetLastMessage(IDS_COULD_NOT_CREATE_DIR, directory);
            return false;
        }
        return true;
    }

    // A dynamic site's directory is on the local file system. An empty setting would put the
    // files into whatever directory the program runs in (or the file-system root).
    if (m_agentDirectory.empty()) {
        SetLastMessage(IDS_NO_AGENT_DIRECTORY);
        return false;
    }
    struct stat st;
    if (stat(directory, &st) != 0) {
        if (::mkdir(directory, 0777) != 0) {
            SetLastMessage(IDS_COULD_NOT_CREATE_DIR, directory);
            return false;
        }
        return true;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastMessage(IDS_NOT_A_DIRECTORY, directory);
        return false;
    }
    // Read-only: no write permission for anyone (the file system's counterpart of the
    // read-only attribute).
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        SetLastMessage(IDS_DIR_READ_ONLY, directory);
        return false;
    }
    return true;
}

int CSiteSynthesizer::WriteFetchFiles(CSitePage* page, const PrefetchList& list) {
    if (!m_indexWriter) {
        m_index = std::make_unique<CTextBuffer>();
        m_indexWriter = std::make_unique<CInstructionWriter>(*m_index, m_params.AsciiPrefetch);
    }
    const std::string agentPath = AgentDirectoryPath();
    std::string first(kNoFetchFile);
    if (!list.empty()) {
        const std::string toAgent = RelativePath(page->Name, agentPath);
        std::size_t pos = 0;
        for (int part = 0; pos < list.size(); ++part) {
            const std::size_t remaining = list.size() - pos;
            const std::size_t take =
                remaining < kPartEntries + kSmallestPart ? remaining : kPartEntries;
            const std::string name = FetchFileName(page->Index, part);
            if (part == 0) {
                first = JoinPath(agentPath, name);
            }
            CTextBuffer buffer;
            CInstructionWriter writer(buffer, m_params.AsciiPrefetch);
            if (pos + take == list.size()) {
                writer.WriteLine(kNoFetchFile);
            } else {
                writer.WriteLine(JoinPath(toAgent, FetchFileName(page->Index, part + 1)));
            }
            std::string line;
            for (std::size_t i = pos; i < pos + take; ++i) {
                const PrefetchEntry& entry = list[i];
                line.clear();
                if (entry.IsPageMarker) {
                    line.push_back('#');
                }
                line.append(RelativePath(page->Name, entry.File->Name));
                writer.WriteLine(line);
            }
            if (writer.Failed() || !WriteAgentFile(name, buffer)) {
                SetLastMessage(IDS_COULD_NOT_WRITE_FILE, name.c_str());
                return -1;
            }
            pos += take;
        }
    }

    m_indexWriter->WriteLine(page->Name);
    if (first == kNoFetchFile) {
        m_indexWriter->WriteLine(first);
    } else {
        std::string sitePath = first;
        NormalizePath(sitePath, true, false);
        m_indexWriter->WriteLine(sitePath);
    }

    if (!m_isDynamicSite &&
        !EmbedInPage(m_access, page->Name, agentPath, first, m_params.ScriptPrefetch)) {
        return -1;
    }
    return 1;
}

bool CSiteSynthesizer::WriteAgentFile(const std::string& name, const CTextBuffer& buffer) {
    const std::string path = JoinPath(m_agentDirectory, name);
    if (m_isDynamicSite) {
        // Each file whole or not at all; the wait for the disk comes once, at the end.
        m_unsynced = true;
        return CAtomicFile::Replace(path, buffer.View(), 0666, false, false);
    }
    return m_access != nullptr && m_access->WriteFile(path, buffer);
}

bool CSiteSynthesizer::CopyAppletFiles() {
    StringList names;
    Tokenize(kAppletFiles, names, ",; ");
    if (m_params.ScriptPrefetch) {
        names.push_back(kLoaderFile);
    }
    CLocalSiteAccess workingDirectory(m_workingDirectory);
    for (const std::string& name : names) {
        CTextBuffer buffer;
        if (!workingDirectory.ReadFile("/" + name, buffer) || !WriteAgentFile(name, buffer)) {
            SetLastMessage(IDS_COULD_NOT_COPY, name.c_str());
            return false;
        }
    }
    return true;
}

bool CSiteSynthesizer::WritePropertiesFile() {
    CTextBuffer buffer;
    return buffer.Append(m_params.ShowPrefetch ? "ShowPrefetch=yes\n" : "ShowPrefetch=no\n") &&
           WriteAgentFile("quorvane.properties", buffer);
}
