// Clean URLs: a site's pages named as visitors request them ("/blog/", "/about") rather than by
// the files that serve them ("/blog/index.html", "/about.html"). This access object wraps the
// site's own one and sends every operation on a file to the file the server serves for the
// name, so the page graph keeps the visitors' names while reads, writes, sizes and backups reach
// the served file. One thread at a time, like the object it wraps.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "site/SiteAccess.h"

class CCleanUrlAccess : public CSiteAccess {
  public:
    // Takes ownership of inner (not null). homePage: the agent's home page setting, the file a
    // directory name stands for ("index.html"; a leading "/" is dropped).
    CCleanUrlAccess(std::unique_ptr<CSiteAccess> inner, std::string homePage);

    // A name of the clean form: it begins with "/", holds no "?", "#" or ":", and ends in "/"
    // or has no "." after its last "/".
    static bool IsCleanForm(std::string_view name);

    // The name of the file served for name. A name of the clean form that ends in "/" stands for
    // name + home page; any other for the first of name.html, name.htm and name/ + home page that
    // exists. On a web server (HTTP access) the name is its own file when the server answers it
    // with status 2xx and an HTML type. "" when nothing serves a clean-form name (also when the
    // name leaves the root); any other name is its own file. Answers are remembered.
    std::string ServedName(const std::string& name);

    // The wrapped access object (still owned by this one).
    CSiteAccess* Inner() const { return m_inner.get(); }

    // On the served file; a clean-form name that nothing serves goes on unchanged.
    bool ReadFile(const std::string& name, CTextBuffer& buffer) override;
    bool WriteFile(const std::string& name, const CTextBuffer& buffer) override;
    bool IsReadOnly(const std::string& name) override;
    bool Exists(const std::string& name) override;
    int32_t GetFileSize(const std::string& name) override;
    // Directories are what they are: these go on unchanged.
    bool IsDirectory(const std::string& name) override;
    bool CreateDirectory(const std::string& name) override;
    std::string GetRoot() override;
    bool Sync() override;

  private:
    std::string FileFor(const std::string& name);
    std::string Resolve(const std::string& name);
    // Copies the wrapped object's failure text and passes result through.
    template <typename T>
    T Done(T result) {
        SetErrorText(m_inner->LastError());
        return result;
    }

    std::unique_ptr<CSiteAccess> m_inner;
    std::string m_homePage;
    std::unordered_map<std::string, std::string> m_served;
};
