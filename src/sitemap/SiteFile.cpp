#include "sitemap/SiteFile.h"

#include <algorithm>

#include "site/SiteAccess.h"

int32_t CSiteFile::GetSize(CSiteAccess* access) {
    if (Size == -2 && access != nullptr) {
        // Any answer below 0 means that no size was obtained; -2 must not stay, or the site
        // would be asked again every time (over HTTP that is a whole download).
        Size = std::max<int32_t>(access->GetFileSize(Name), -1);
    }
    return Size;
}

bool CSiteFile::HasQuery() const {
    return Name.find('?') != std::string::npos;
}
