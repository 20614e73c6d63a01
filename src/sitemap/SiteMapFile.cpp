// The statistics file: the page graph with what was learnt from the logs, kept between runs.
// Layout in doc/formats/statistics-file.md.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sitemap/BinaryReader.h"
#include "sitemap/BinaryWriter.h"
#include "sitemap/SiteMap.h"

namespace {

constexpr int32_t kFormatMark = 3;
constexpr int32_t kVersion = 1;
constexpr int32_t kMaxString = 4095;

// File level
constexpr int32_t kTagEnd = 0;
constexpr int32_t kTagPages = 1;
constexpr int32_t kTagFiles = 2;
constexpr int32_t kTagHitCount = 4;
// Page record
constexpr int32_t kPageName = 1;
constexpr int32_t kPageLinks = 2;
constexpr int32_t kPageImages = 3;
constexpr int32_t kPageFrames = 4;
constexpr int32_t kPageForced = 5;
constexpr int32_t kPageForceOrder = 6;
constexpr int32_t kPageViewTimeSum = 7;
constexpr int32_t kPageLoadTimeSum = 8;
constexpr int32_t kPageSize = 9;
constexpr int32_t kPageViewSamples = 10;
// Link record
constexpr int32_t kLinkTarget = 1;
constexpr int32_t kLinkStatic = 2;
constexpr int32_t kLinkWeight = 3;
constexpr int32_t kLinkPrefetched = 4;
constexpr int32_t kLinkPlanValue = 5;
// File record
constexpr int32_t kFileName = 1;
constexpr int32_t kFileSize = 2;

// Records reserved ahead of reading them. A count passes ReadCount when the rest of the file
// could hold that many records of 4 bytes, but a record in memory is far larger than 4 bytes:
// beyond this many, lists grow only with the records actually read.
constexpr std::size_t kReserveAhead = 1024;

// Reserves room for the first list of a record. A record may repeat a list tag, and its items
// are then appended; reserving again for each would copy the whole list every time.
template <typename T>
void ReserveAhead(std::vector<T>& list, int32_t count) {
    if (list.empty()) {
        list.reserve(std::min<std::size_t>(static_cast<std::size_t>(count), kReserveAhead));
    }
}

std::string_view Stored(const std::string& name) {
    return std::string_view(name).substr(0, kMaxString);
}

// A record as read, with references still as indexes; turned into graph records only when the
// whole file has been read and checked.
struct LinkRecord {
    int32_t target = -1;
    bool isStatic = false;
    bool isPrefetched = false;
    double planValue = -1.0;
    double weight = 0.0;
};

struct PageRecord {
    std::string name;
    int32_t size = -2;
    std::vector<LinkRecord> links;
    std::vector<int32_t> images;
    std::vector<int32_t> frames;
    std::vector<int32_t> forced;
    bool forceOrder = false;
    int32_t viewSamples = 0;
    int32_t viewTimeSum = 0;
    int32_t loadTimeSum = 0;
};

struct FileRecord {
    std::string name;
    int32_t size = -2;
};

class StatisticsParser {
  public:
    explicit StatisticsParser(CBinaryReader& in) : m_in(in) {}

    // False on any malformation. otherFormat is set when the file is not of this format.
    bool Parse(bool& otherFormat) {
        otherFormat = false;
        int32_t mark = 0;
        int32_t version = 0;
        if (!m_in.ReadInt32(mark)) {
            return false;
        }
        if (mark != kFormatMark) {
            otherFormat = true;
            return true;
        }
        if (!m_in.ReadInt32(version)) {
            return false;
        }
        if (version != kVersion) {
            otherFormat = true;
            return true;
        }
        return ReadFields([this](int32_t tag) {
            switch (tag) {
                case kTagPages:
                    return ReadList(pages, &StatisticsParser::ReadPage);
                case kTagFiles:
                    return ReadList(files, &StatisticsParser::ReadFileRecord);
                case kTagHitCount:
                    return m_in.ReadInt32(hitCount);
                default:
                    return true;  // any other tag carries no value
            }
        });
    }

    std::vector<PageRecord> pages;
    std::vector<FileRecord> files;
    int32_t hitCount = 0;

  private:
    // Reads tagged fields up to the end tag, each through readField (false: the file is
    // damaged). False when the fields run past the end of the file.
    template <typename ReadField>
    bool ReadFields(ReadField readField) {
        for (;;) {
            int32_t tag = 0;
            if (!m_in.ReadTag(tag))
                return false;
            if (tag == kTagEnd)
                return true;
            if (!readField(tag))
                return false;
        }
    }

    // A count read from the file, bounded by what the rest of the file can hold: every element
    // takes at least minBytes.
    bool ReadCount(int32_t& count, std::size_t minBytes) {
        return m_in.ReadInt32(count) && count >= 0 &&
               static_cast<std::size_t>(count) <= m_in.Remaining() / minBytes;
    }

    template <typename T>
    bool ReadList(std::vector<T>& list, bool (StatisticsParser::*readOne)(T&)) {
        int32_t count = 0;
        if (!ReadCount(count, 4)) {
            return false;
        }
        ReserveAhead(list, count);
        for (int32_t i = 0; i < count; ++i) {
            list.emplace_back();
            if (!(this->*readOne)(list.back())) {
                return false;
            }
        }
        return true;
    }

    bool ReadIndexes(std::vector<int32_t>& list) {
        int32_t count = 0;
        if (!ReadCount(count, 4)) {
            return false;
        }
        ReserveAhead(list, count);
        for (int32_t i = 0; i < count; ++i) {
            int32_t index = 0;
            if (!m_in.ReadInt32(index)) {
                return false;
            }
            list.push_back(index);
        }
        return true;
    }

    bool ReadBool(bool& value) {
        uint8_t b = 0;
        if (!m_in.ReadByte(b)) {
            return false;
        }
        value = b != 0;
        return true;
    }

    // A value that is not a finite number (a NaN or an infinity) is one value gone wrong, not
    // a damaged file: it reads as the value a new link starts with.
    bool ReadFinite(double& value, double fresh) {
        double v = 0;
        if (!m_in.ReadDouble(v)) {
            return false;
        }
        value = std::isfinite(v) ? v : fresh;
        return true;
    }

    bool ReadLink(LinkRecord& link) {
        return ReadFields([&](int32_t tag) {
            switch (tag) {
                case kLinkTarget:
                    return m_in.ReadInt32(link.target);
                case kLinkStatic:
                    return ReadBool(link.isStatic);
                case kLinkPrefetched:
                    return ReadBool(link.isPrefetched);
                case kLinkPlanValue:
                    return ReadFinite(link.planValue, LinkRecord().planValue);
                case kLinkWeight:
                    return ReadFinite(link.weight, LinkRecord().weight);
                default:
                    return true;
            }
        });
    }

    bool ReadPage(PageRecord& page) {
        return ReadFields([&](int32_t tag) {
            switch (tag) {
                case kPageName:
                    return m_in.ReadString(page.name, kMaxString);
                case kPageSize:
                    return m_in.ReadInt32(page.size);
                case kPageLinks:
                    return ReadList(page.links, &StatisticsParser::ReadLink);
                case kPageImages:
                    return ReadIndexes(page.images);
                case kPageFrames:
                    return ReadIndexes(page.frames);
                case kPageForced:
                    return ReadIndexes(page.forced);
                case kPageForceOrder:
                    return ReadBool(page.forceOrder);
                case kPageViewSamples:
                    return m_in.ReadInt32(page.viewSamples);
                case kPageViewTimeSum:
                    return m_in.ReadInt32(page.viewTimeSum);
                case kPageLoadTimeSum:
                    return m_in.ReadInt32(page.loadTimeSum);
                default:
                    return true;
            }
        });
    }

    bool ReadFileRecord(FileRecord& file) {
        return ReadFields([&](int32_t tag) {
            switch (tag) {
                case kFileName:
                    return m_in.ReadString(file.name, kMaxString);
                case kFileSize:
                    return m_in.ReadInt32(file.size);
                default:
                    return true;
            }
        });
    }

    CBinaryReader& m_in;
};

bool InRange(int32_t index, std::size_t count) {
    return index >= 0 && static_cast<std::size_t>(index) < count;
}

bool IndexesValid(const StatisticsParser& parsed) {
    const std::size_t n = parsed.pages.size();
    const std::size_t m = parsed.files.size();
    for (const PageRecord& page : parsed.pages) {
        for (const LinkRecord& link : page.links) {
            if (!InRange(link.target, n))
                return false;
        }
        for (int32_t i : page.images) {
            if (!InRange(i, m))
                return false;
        }
        for (int32_t i : page.frames) {
            if (!InRange(i, n))
                return false;
        }
        for (int32_t i : page.forced) {
            if (!InRange(i, n))
                return false;
        }
    }
    return true;
}

}  // namespace

bool CSiteMap::Save(const std::string& path) {
    CBinaryWriter out;
    if (!out.Open(path)) {
        return false;
    }
    WriteTo(out);
    return out.Close();
}

std::string CSiteMap::Serialize() {
    std::string bytes;
    CBinaryWriter out;
    out.OpenMemory(&bytes);
    WriteTo(out);
    return bytes;
}

void CSiteMap::WriteTo(CBinaryWriter& out) {
    Renumber();
    out.WriteInt32(kFormatMark);
    out.WriteInt32(kVersion);

    out.WriteInt32(kTagPages);
    out.WriteInt32(static_cast<int32_t>(m_pages.size()));
    for (const auto& page : m_pages) {
        out.WriteInt32(kPageName);
        out.WriteString(Stored(page->Name));
        out.WriteInt32(kPageSize);
        out.WriteInt32(page->Size);
        out.WriteInt32(kPageLinks);
        out.WriteInt32(static_cast<int32_t>(page->Links.size()));
        for (const auto& link : page->Links) {
            out.WriteInt32(kLinkTarget);
            out.WriteInt32(link->Target->Index);
            out.WriteInt32(kLinkStatic);
            out.WriteByte(link->IsStatic ? 1 : 0);
            out.WriteInt32(kLinkPrefetched);
            out.WriteByte(link->IsPrefetched ? 1 : 0);
            out.WriteInt32(kLinkPlanValue);
            out.WriteDouble(link->PlanValue);
            out.WriteInt32(kLinkWeight);
            out.WriteDouble(link->Weight);
            out.WriteInt32(kTagEnd);
        }
        out.WriteInt32(kPageImages);
        out.WriteInt32(static_cast<int32_t>(page->Images.size()));
        for (const CSiteFile* image : page->Images) {
            out.WriteInt32(image->Index);
        }
        out.WriteInt32(kPageFrames);
        out.WriteInt32(static_cast<int32_t>(page->Frames.size()));
        for (const CSitePage* frame : page->Frames) {
            out.WriteInt32(frame->Index);
        }
        out.WriteInt32(kPageForced);
        out.WriteInt32(static_cast<int32_t>(page->ForcedPrefetchPages.size()));
        for (const CSitePage* forced : page->ForcedPrefetchPages) {
            out.WriteInt32(forced->Index);
        }
        out.WriteInt32(kPageForceOrder);
        out.WriteByte(page->ForcePrefetchOrder ? 1 : 0);
        out.WriteInt32(kPageViewSamples);
        out.WriteInt32(page->ViewSamples);
        out.WriteInt32(kPageViewTimeSum);
        out.WriteInt32(page->ViewTimeSum);
        out.WriteInt32(kPageLoadTimeSum);
        out.WriteInt32(page->LoadTimeSum);
        out.WriteInt32(kTagEnd);
    }

    out.WriteInt32(kTagFiles);
    out.WriteInt32(static_cast<int32_t>(m_files.size()));
    for (const auto& file : m_files) {
        out.WriteInt32(kFileName);
        out.WriteString(Stored(file->Name));
        out.WriteInt32(kFileSize);
        out.WriteInt32(file->Size);
        out.WriteInt32(kTagEnd);
    }
    out.WriteInt32(kTagEnd);
}

bool CSiteMap::Load(const std::string& path) {
    return Load(path, nullptr);
}

bool CSiteMap::Load(const std::string& path, bool* otherFormat) {
    CBinaryReader in;
    return in.Open(path) && LoadFrom(in, otherFormat);
}

bool CSiteMap::LoadFromMemory(const void* data, std::size_t size) {
    return LoadFromMemory(data, size, nullptr);
}

bool CSiteMap::LoadFromMemory(const void* data, std::size_t size, bool* otherFormat) {
    CBinaryReader in;
    in.OpenMemory(data, size);
    return LoadFrom(in, otherFormat);
}

bool CSiteMap::LoadFrom(CBinaryReader& in, bool* otherFormatOut) {
    if (otherFormatOut != nullptr) {
        *otherFormatOut = false;
    }
    StatisticsParser parsed(in);
    bool otherFormat = false;
    if (!parsed.Parse(otherFormat) || !IndexesValid(parsed)) {
        return false;
    }
    // What the file does not hold is back at its defaults: the resume state and hit count
    // (Clear) and the decay settings.
    Clear();
    DecayPeriod = 100;
    DecayFactor = 1.0;
    if (otherFormatOut != nullptr) {
        *otherFormatOut = otherFormat;
    }
    if (otherFormat) {
        return true;
    }
    m_pages.reserve(parsed.pages.size());
    m_pageIndex.Reserve(parsed.pages.size());
    m_fileIndex.Reserve(parsed.files.size());
    for (PageRecord& record : parsed.pages) {
        CSitePage* page = AppendPage(std::move(record.name));
        page->Size = record.size;
        page->ForcePrefetchOrder = record.forceOrder;
        page->ViewSamples = record.viewSamples;
        page->ViewTimeSum = record.viewTimeSum;
        page->LoadTimeSum = record.loadTimeSum;
    }
    m_files.reserve(parsed.files.size());
    for (FileRecord& record : parsed.files) {
        AppendFile(std::move(record.name))->Size = record.size;
    }
    for (std::size_t p = 0; p < parsed.pages.size(); ++p) {
        const PageRecord& record = parsed.pages[p];
        CSitePage* page = m_pages[p].get();
        page->Links.reserve(record.links.size());
        for (const LinkRecord& l : record.links) {
            auto link =
                std::make_unique<CPageLink>(m_pages[static_cast<std::size_t>(l.target)].get());
            link->Weight = l.weight;
            link->IsStatic = l.isStatic;
            link->IsPrefetched = l.isPrefetched;
            link->PlanValue = l.planValue;
            page->Links.push_back(std::move(link));
        }
        page->LinksChanged();
        for (int32_t i : record.images) {
            page->Images.push_back(m_files[static_cast<std::size_t>(i)].get());
        }
        for (int32_t i : record.frames) {
            page->Frames.push_back(m_pages[static_cast<std::size_t>(i)].get());
        }
        for (int32_t i : record.forced) {
            page->ForcedPrefetchPages.push_back(m_pages[static_cast<std::size_t>(i)].get());
        }
    }
    HitCount = parsed.hitCount;
    return true;
}
