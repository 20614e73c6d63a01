#include "sitemap/SitePage.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool Listed(const std::vector<const CSitePage*>& seen, const CSitePage* page) {
    return std::find(seen.begin(), seen.end(), page) != seen.end();
}

bool ContainsFrameOnce(const CSitePage* self, const CSitePage* page,
                       std::vector<const CSitePage*>& seen) {
    if (self == page) {
        return true;
    }
    seen.push_back(self);
    for (const CSitePage* frame : self->Frames) {
        if (!Listed(seen, frame) && ContainsFrameOnce(frame, page, seen)) {
            return true;
        }
    }
    return false;
}

void CollectOnce(CSitePage* self, std::vector<CSitePage*>& list,
                 std::vector<const CSitePage*>& seen) {
    seen.push_back(self);
    list.push_back(self);
    for (CSitePage* frame : self->Frames) {
        if (!Listed(seen, frame)) {
            CollectOnce(frame, list, seen);
        }
    }
}

CPageLink* FindDeepOnce(CSitePage* self, const CSitePage* target, CSitePage** owner,
                        std::vector<const CSitePage*>& seen) {
    seen.push_back(self);
    if (CPageLink* link = self->FindLink(target)) {
        *owner = self;
        return link;
    }
    for (CSitePage* frame : self->Frames) {
        if (Listed(seen, frame)) {
            continue;
        }
        if (CPageLink* link = FindDeepOnce(frame, target, owner, seen)) {
            return link;
        }
    }
    return nullptr;
}

int64_t SaturatingAdd(int64_t a, int64_t b) {
    if (b > 0 && a > std::numeric_limits<int64_t>::max() - b) {
        return std::numeric_limits<int64_t>::max();
    }
    return a + b;
}

bool FitsInt32(int64_t v) {
    return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

}  // namespace

void CSitePage::RebuildLinkIndex() {
    m_linkIndex.clear();
    m_linkIndex.reserve(Links.size());
    for (std::size_t i = 0; i < Links.size(); ++i) {
        m_linkIndex.emplace(Links[i]->Target, i);  // keeps the first of equal targets
    }
    m_indexedLinks = Links.size();
    m_linkIndexValid = true;
}

CPageLink* CSitePage::IndexedLink(const CSitePage* target) const {
    auto it = m_linkIndex.find(target);
    if (it == m_linkIndex.end() || it->second >= Links.size() ||
        Links[it->second]->Target != target) {
        return nullptr;
    }
    return Links[it->second].get();
}

CPageLink* CSitePage::FindLink(const CSitePage* target) {
    if (Links.size() <= kIndexThreshold) {
        for (const auto& link : Links) {
            if (link->Target == target) {
                return link.get();
            }
        }
        return nullptr;
    }
    if (!LinkIndexCurrent()) {
        RebuildLinkIndex();
    }
    if (CPageLink* link = IndexedLink(target)) {
        return link;
    }
    if (m_linkIndex.count(target) != 0) {
        // Indexed, but the list changed without LinksChanged: look again.
        RebuildLinkIndex();
        return IndexedLink(target);
    }
    return nullptr;
}

CPageLink* CSitePage::GetOrAddLink(CSitePage* target) {
    if (CPageLink* link = FindLink(target)) {
        return link;
    }
    const bool current = LinkIndexCurrent();
    Links.push_back(std::make_unique<CPageLink>(target));
    if (current) {
        m_linkIndex.emplace(target, Links.size() - 1);
        m_indexedLinks = Links.size();
    }
    return Links.back().get();
}

CPageLink* CSitePage::FindLinkDeep(const CSitePage* target, CSitePage** owner, int* index) {
    CSitePage* found = nullptr;
    CPageLink* link = nullptr;
    if (Frames.empty()) {
        // Most pages are no frame sets: no walk, nothing to remember.
        link = FindLink(target);
        found = link ? this : nullptr;
    } else {
        std::vector<const CSitePage*> seen;
        link = FindDeepOnce(this, target, &found, seen);
    }
    if (owner) {
        *owner = link ? found : nullptr;
    }
    if (index) {
        *index = -1;
        if (link) {
            for (std::size_t i = 0; i < found->Links.size(); ++i) {
                if (found->Links[i].get() == link) {
                    *index = static_cast<int>(i);
                    break;
                }
            }
        }
    }
    return link;
}

bool CSitePage::ContainsFrame(const CSitePage* page) const {
    if (page == this || Frames.empty()) {
        return page == this;
    }
    std::vector<const CSitePage*> seen;
    return ContainsFrameOnce(this, page, seen);
}

bool CSitePage::HasStaticLink() const {
    return std::any_of(Links.begin(), Links.end(),
                       [](const std::unique_ptr<CPageLink>& l) { return l->IsStatic; });
}

bool CSitePage::HasImage(const CSiteFile* file) const {
    return std::find(Images.begin(), Images.end(), file) != Images.end();
}

void CSitePage::AddImage(CSiteFile* file) {
    if (file != nullptr && !HasImage(file)) {
        Images.push_back(file);
    }
}

int64_t CSitePage::TotalSize() const {
    int64_t total = SizeOrZero();
    for (const CSiteFile* image : Images) {
        total += image->SizeOrZero();
    }
    return total;
}

void CSitePage::ScaleWeights(double factor) {
    for (auto& link : Links) {
        link->Weight *= factor;
    }
}

void CSitePage::SortLinks() {
    bool weighted =
        std::any_of(Links.begin(), Links.end(),
                    [](const std::unique_ptr<CPageLink>& l) { return l->Weight > 0.0; });
    if (!weighted) {
        return;
    }
    std::stable_sort(Links.begin(), Links.end(),
                     [](const std::unique_ptr<CPageLink>& a, const std::unique_ptr<CPageLink>& b) {
                         if (a->IsStatic != b->IsStatic) {
                             return a->IsStatic;
                         }
                         return a->Weight > b->Weight;
                     });
    LinksChanged();
}

void CSitePage::ForgetStatic() {
    RemoveLinksIf([](const CPageLink& l) { return l.IsStatic && l.Weight == 0.0; });
    for (auto& link : Links) {
        link->IsStatic = false;
    }
    Images.clear();
    Frames.clear();
}

void CSitePage::ResetStatistics() {
    TransitionsSinceDecay = 0;
    DecayProduct = 1.0;
    // The timings were learnt from the same logs: read again, they must not count twice.
    ViewSamples = 0;
    ViewTimeSum = 0;
    LoadTimeSum = 0;
    ViewTimeSquareSum = 0;
    LoadTimeSquareSum = 0;
    RemoveLinksIf([](const CPageLink& l) { return !l.IsStatic; });
    for (auto& link : Links) {
        link->Weight = 0.0;
    }
}

void CSitePage::RecordTransition(CSitePage* target, int32_t period, double factor) {
    if (target == nullptr) {
        return;  // a link must name a page: the statistics file stores it by the page's index
    }
    CPageLink* link = FindLinkDeep(target, nullptr, nullptr);
    if (link == nullptr) {
        link = GetOrAddLink(target);
    }
    link->Weight += 1.0;
    if (TransitionsSinceDecay < std::numeric_limits<int32_t>::max()) {
        ++TransitionsSinceDecay;
    }
    if (period > 0 && TransitionsSinceDecay >= period) {
        int32_t k = TransitionsSinceDecay / period;
        double decay = k == 1 ? factor : std::pow(factor, k);
        ScaleWeights(decay);
        DecayProduct *= decay;
        TransitionsSinceDecay -= k * period;
    }
}

void CSitePage::AddTimingSample(int32_t viewTime, int32_t loadTime) {
    int32_t v = std::max(viewTime, loadTime);
    // The sums are stored as 32-bit numbers. Rather than overflow, halve the sample count and
    // both sums together: the averages, which is what they are read for, stay as they were.
    // The count falls at every round, so the loop ends; a single earlier sample (or a count
    // that a statistics file left at 0 or below) cannot be halved and gives way to the new one.
    while (!FitsInt32(static_cast<int64_t>(ViewTimeSum) + v) ||
           !FitsInt32(static_cast<int64_t>(LoadTimeSum) + loadTime) ||
           ViewSamples == std::numeric_limits<int32_t>::max()) {
        if (ViewSamples <= 1) {
            ViewSamples = 0;
            ViewTimeSum = 0;
            LoadTimeSum = 0;
            ViewTimeSquareSum = 0;
            LoadTimeSquareSum = 0;
            break;
        }
        int32_t halved = ViewSamples / 2;
        double scale = static_cast<double>(halved) / ViewSamples;
        ViewSamples = halved;
        ViewTimeSum = static_cast<int32_t>(std::llround(ViewTimeSum * scale));
        LoadTimeSum = static_cast<int32_t>(std::llround(LoadTimeSum * scale));
        ViewTimeSquareSum = std::llround(static_cast<double>(ViewTimeSquareSum) * scale);
        LoadTimeSquareSum = std::llround(static_cast<double>(LoadTimeSquareSum) * scale);
    }
    ViewTimeSum += v;
    LoadTimeSum += loadTime;
    ViewTimeSquareSum = SaturatingAdd(ViewTimeSquareSum, static_cast<int64_t>(v) * v);
    LoadTimeSquareSum = SaturatingAdd(LoadTimeSquareSum, static_cast<int64_t>(loadTime) * loadTime);
    ++ViewSamples;
}

int32_t CSitePage::AverageLoadTime() const {
    return LoadTimeSum / std::max<int32_t>(ViewSamples, 1);
}

int32_t CSitePage::AverageIdleTime() const {
    // The difference of two 32-bit sums may need 33 bits; the average is kept in range.
    int64_t idle = static_cast<int64_t>(ViewTimeSum) - LoadTimeSum;
    idle /= std::max<int32_t>(ViewSamples, 1);
    return static_cast<int32_t>(std::clamp<int64_t>(idle, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

double CSitePage::WeightSum() const {
    double sum = 0.0;
    for (const auto& link : Links) {
        sum += link->Weight;
    }
    return sum;
}

void CSitePage::CollectWithFrames(std::vector<CSitePage*>& list) {
    std::vector<const CSitePage*> seen;
    CollectOnce(this, list, seen);
}
