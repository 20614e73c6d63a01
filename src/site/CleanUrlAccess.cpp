#include "site/CleanUrlAccess.h"

#include "site/HttpSiteAccess.h"

namespace {

// Answers kept at most; a log of many distinct names starts the memory afresh.
constexpr std::size_t kServedLimit = 65536;

}  // namespace

CCleanUrlAccess::CCleanUrlAccess(std::unique_ptr<CSiteAccess> inner, std::string homePage)
    : m_inner(std::move(inner)), m_homePage(std::move(homePage)) {
    while (!m_homePage.empty() && m_homePage.front() == '/') {
        m_homePage.erase(m_homePage.begin());
    }
}

bool CCleanUrlAccess::IsCleanForm(std::string_view name) {
    if (name.empty() || name.front() != '/' ||
        name.find_first_of("?#:") != std::string_view::npos) {
        return false;
    }
    return name.back() == '/' || name.find('.', name.rfind('/')) == std::string_view::npos;
}

std::string CCleanUrlAccess::ServedName(const std::string& name) {
    if (!IsCleanForm(name)) {
        return name;
    }
    if (auto it = m_served.find(name); it != m_served.end()) {
        return it->second;
    }
    std::string served = Resolve(name);
    if (m_served.size() >= kServedLimit) {
        m_served.clear();
    }
    m_served.emplace(name, served);
    return served;
}

std::string CCleanUrlAccess::Resolve(const std::string& name) {
    if (auto* http = dynamic_cast<CHttpSiteAccess*>(m_inner.get())) {
        return Done(http->ServesHtml(name)) ? name : std::string();
    }
    const std::string directory = name.back() == '/' ? name : name + "/";
    std::string candidates[3] = {directory + m_homePage};
    if (name.back() != '/') {
        candidates[0] = name + ".html";
        candidates[1] = name + ".htm";
        candidates[2] = directory + m_homePage;
    }
    for (const std::string& file : candidates) {
        // Without a home page a directory stands for no file.
        if (!file.empty() && file.back() != '/' && Done(m_inner->Exists(file))) {
            return file;
        }
    }
    return std::string();
}

std::string CCleanUrlAccess::FileFor(const std::string& name) {
    std::string served = ServedName(name);
    return served.empty() ? name : served;
}

bool CCleanUrlAccess::ReadFile(const std::string& name, CTextBuffer& buffer) {
    return Done(m_inner->ReadFile(FileFor(name), buffer));
}

bool CCleanUrlAccess::WriteFile(const std::string& name, const CTextBuffer& buffer) {
    return Done(m_inner->WriteFile(FileFor(name), buffer));
}

bool CCleanUrlAccess::IsReadOnly(const std::string& name) {
    return Done(m_inner->IsReadOnly(FileFor(name)));
}

bool CCleanUrlAccess::Exists(const std::string& name) {
    return Done(m_inner->Exists(FileFor(name)));
}

int32_t CCleanUrlAccess::GetFileSize(const std::string& name) {
    return Done(m_inner->GetFileSize(FileFor(name)));
}

bool CCleanUrlAccess::IsDirectory(const std::string& name) {
    return Done(m_inner->IsDirectory(name));
}

bool CCleanUrlAccess::CreateDirectory(const std::string& name) {
    return Done(m_inner->CreateDirectory(name));
}

std::string CCleanUrlAccess::GetRoot() {
    return m_inner->GetRoot();
}

bool CCleanUrlAccess::Sync() {
    return Done(m_inner->Sync());
}
