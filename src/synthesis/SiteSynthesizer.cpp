#include "synthesis/SiteSynthesizer.h"

#include <algorithm>
#include <vector>

#include "base/PathRules.h"
#include "base/ProgressSink.h"
#include "res/StringTable.h"
#include "site/CleanUrlAccess.h"
#include "site/TextBuffer.h"
#include "sitemap/SiteMap.h"
#include "synthesis/InstructionWriter.h"

CSiteSynthesizer::CSiteSynthesizer(std::string workingDirectory, std::string filesDirectory,
                                   const CachingParams& params, bool isDynamicSite,
                                   CProgressSink* sink)
    : m_workingDirectory(std::move(workingDirectory)),
      m_agentDirectory(std::move(filesDirectory)),
      m_params(params),
      m_isDynamicSite(isDynamicSite),
      m_sink(sink) {
    if (m_isDynamicSite) {
        // A directory of the local file system: an absolute path keeps its leading "/".
        NormalizeLocalPath(m_agentDirectory, false);
    } else {
        NormalizePath(m_agentDirectory, true, false);
    }
    if (m_workingDirectory.empty()) {
        m_workingDirectory = ".";
    }
}

CSiteSynthesizer::~CSiteSynthesizer() = default;

bool CSiteSynthesizer::ConcludeCachingInstructions(CSiteMap& siteMap) {
    m_access = siteMap.GetAccess();
    m_map = &siteMap;
    SinkSetStatus(m_sink, ResString(IDS_CONCLUDING));
    SinkSetProgress(m_sink, 0);
    return ForEachExistingPage(siteMap, [this](CSitePage* page) { return PlanPage(page); });
}

bool CSiteSynthesizer::ForEachExistingPage(CSiteMap& siteMap,
                                           const std::function<bool(CSitePage*)>& work) {
    const int n = siteMap.PageCount();
    for (int i = 0; i < n; ++i) {
        CSitePage* page = siteMap.PageAt(i);
        if (!siteMap.HasSize(page)) {
            continue;
        }
        if (m_sink != nullptr) {
            m_sink->SetStatus(FormatString(IDS_PROCESSING_PAGE, FileNameOf(page->Name).c_str()));
            m_sink->SetProgress(static_cast<int>(static_cast<int64_t>(i) * 100 / n));
        }
        if (!work(page)) {
            return false;
        }
    }
    return true;
}

bool CSiteSynthesizer::PlanPage(CSitePage* page) {
    if (!page->Frames.empty()) {
        return true;  // a frame set keeps its marks
    }
    if (page->ForcePrefetchOrder) {
        const auto& forced = page->ForcedPrefetchPages;
        for (auto& link : page->Links) {
            link->IsPrefetched =
                std::find(forced.begin(), forced.end(), link->Target) != forced.end();
        }
        return true;
    }
    int64_t runningBytes = 0;
    PrefetchList scratch;
    int64_t position = 0;
    for (auto& link : page->Links) {
        const int64_t k = position++;
        link->IsPrefetched = false;
        if (!link->IsStatic) {
            continue;
        }
        // The limit counts link positions: a link skipped below it is not replaced.
        if (m_params.PageLimit != -1 && k >= m_params.PageLimit) {
            continue;
        }
        if (m_params.ByteLimit != -1 && runningBytes > m_params.ByteLimit) {
            continue;
        }
        if (link->Target == nullptr || page->ContainsFrame(link->Target)) {
            continue;
        }
        link->IsPrefetched = true;
        AddTargetFiles(link->Target, runningBytes, scratch);
    }
    return true;
}

std::optional<PrefetchList> CSiteSynthesizer::BuildPrefetchList(CSitePage* page) {
    if (!page->Frames.empty() || !page->IsAccelerated) {
        return std::nullopt;
    }
    if (page->ForcePrefetchOrder) {
        return ListForTargets(page->ForcedPrefetchPages);
    }
    std::vector<CSitePage*> targets;
    for (auto& link : page->Links) {
        if (link->IsPrefetched) {
            targets.push_back(link->Target);
        }
    }
    return ListForTargets(targets);
}

PrefetchList CSiteSynthesizer::ListForTargets(const std::vector<CSitePage*>& targets) {
    int64_t runningBytes = 0;
    PrefetchList list;
    for (CSitePage* target : targets) {
        if (target != nullptr) {
            AddTargetFiles(target, runningBytes, list);
            list.Append(target, true);
        }
    }
    return list;
}

bool CSiteSynthesizer::IsCacheable(const CSiteFile* node) const {
    if (node->HasQuery()) {
        return m_params.CacheCGI;
    }
    if (m_params.Extensions.empty()) {
        return false;
    }
    std::string extension = GetExtension(node->Name);
    if (m_map != nullptr && m_map->CleanUrls() != nullptr && node->IsPage() &&
        CCleanUrlAccess::IsCleanForm(node->Name)) {
        extension = GetExtension(m_map->ServedName(node->Name));
        if (extension.empty()) {
            extension = "html";
        }
    }
    return FindNoCase(m_params.Extensions.data(), m_params.Extensions.size(), extension) >= 0;
}

bool CSiteSynthesizer::AddPrefetchFile(CSiteFile* node, int64_t& runningBytes, PrefetchList& list) {
    if (list.HoldsFile(node)) {
        return false;
    }
    // Tested before adding: the file that carries the total past the limit is still taken.
    if (m_params.ByteLimit != -1 && runningBytes > m_params.ByteLimit) {
        return false;
    }
    // A size that could not be had (-1) counts as nothing rather than taking bytes off.
    const int32_t size = node->GetSize(m_access);
    runningBytes += size > 0 ? size : 0;
    list.Append(node, false);
    return true;
}

void CSiteSynthesizer::AddTargetFiles(CSitePage* target, int64_t& runningBytes,
                                      PrefetchList& list) {
    std::vector<CSitePage*> pages;
    target->CollectWithFrames(pages);
    for (CSitePage* page : pages) {
        if (IsCacheable(page)) {
            AddPrefetchFile(page, runningBytes, list);
        }
        for (CSiteFile* image : page->Images) {
            if (IsCacheable(image)) {
                AddPrefetchFile(image, runningBytes, list);
            }
        }
    }
}
