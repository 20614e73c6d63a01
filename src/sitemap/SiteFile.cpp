#include "sitemap/SiteFile.h"

#include "site/SiteAccess.h"

int32_t CSiteFile::GetSize(CSiteAccess* access) {
    if (Size == -2 && access != nullptr) {
        Size = access->GetFileSize(Name);
    }
    return Size;
}

bool CSiteFile::HasQuery() const { return Name.find('?') != std::string::npos; }
