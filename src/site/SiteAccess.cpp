#include "site/SiteAccess.h"

#include <cstdarg>

#include "base/PathRules.h"
#include "res/StringTable.h"

namespace {

bool SegmentsStayInside(std::string_view name) {
    int depth = 0;
    std::size_t pos = 0;
    while (pos <= name.size()) {
        std::size_t end = name.find_first_of("/\\", pos);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        std::string_view segment = name.substr(pos, end - pos);
        if (segment == "..") {
            if (--depth < 0) {
                return false;
            }
        } else if (!segment.empty() && segment != ".") {
            ++depth;
        }
        pos = end + 1;
    }
    return true;
}

std::string PercentDecode(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '%' && i + 2 < name.size()) {
            int hi = HexDigitValue(name[i + 1]);
            int lo = HexDigitValue(name[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(name[i]);
    }
    return out;
}

}  // namespace

bool CSiteAccess::StaysInsideRoot(std::string_view name) {
    if (name.find('\0') != std::string_view::npos) {
        return false;
    }
    if (!SegmentsStayInside(name)) {
        return false;
    }
    std::string decoded = PercentDecode(name);
    return decoded.find('\0') == std::string::npos && SegmentsStayInside(decoded);
}

void CSiteAccess::SetError(int id, ...) {
    va_list args;
    va_start(args, id);
    m_lastError = FormatStringV(id, args);
    va_end(args);
}

bool CSiteAccess::CheckName(std::string_view name) {
    if (StaysInsideRoot(name)) {
        return true;
    }
    SetError(IDS_SITE_NAME_OUTSIDE, std::string(name).c_str());
    return false;
}
