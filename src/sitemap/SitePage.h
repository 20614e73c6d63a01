// An HTML page of the page graph: its links with their learnt weights, its frames and images, the
// prefetch order the operator may force, and its timing statistics. Owned by its CSiteMap; used
// by the thread that owns the graph. Every reference to another page or file points into the
// same graph and owns nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "sitemap/PageLink.h"
#include "sitemap/SiteFile.h"

class CSitePage : public CSiteFile {
  public:
    explicit CSitePage(std::string name) : CSiteFile(std::move(name)) {}

    bool IsPage() const override { return true; }

    // The link to target, or nullptr.
    CPageLink* FindLink(const CSitePage* target);
    // The link to target, appended as a new learnt link (weight 0) when there is none.
    CPageLink* GetOrAddLink(CSitePage* target);
    // Searches this page's links, then the links of its frames, depth first in list order. Sets
    // *owner and *index (each may be null) to the page holding the link and its position; when
    // nothing is found returns nullptr, owner nullptr and index -1. Each page is searched once,
    // so frames that frame each other end the search.
    CPageLink* FindLinkDeep(const CSitePage* target, CSitePage** owner, int* index);
    // This page is page, or page is one of its frames at any depth.
    bool ContainsFrame(const CSitePage* page) const;
    bool HasStaticLink() const;
    bool HasImage(const CSiteFile* file) const;
    // Appends file unless already listed.
    void AddImage(CSiteFile* file);
    // The cached size of the page plus those of its images (each 0 when not above 0). Asks
    // nothing of the site.
    int64_t TotalSize() const;
    void ScaleWeights(double factor);
    // Static links first, then by falling weight; only when some link has a weight above 0.
    void SortLinks();
    // Drops static links with weight 0, clears IsStatic on the rest, empties images and frames.
    void ForgetStatic();
    // Restarts learning: keeps only the static links, at weight 0, and resets the decay state.
    void ResetStatistics();
    // One transition from this page to target, with decay every period transitions by factor.
    // Counted on the link found by FindLinkDeep, else on a new link of this page. Nothing
    // happens for a null target.
    void RecordTransition(CSitePage* target, int32_t period, double factor);
    // One timing sample (seconds).
    void AddTimingSample(int32_t viewTime, int32_t loadTime);
    int32_t AverageLoadTime() const;
    int32_t AverageIdleTime() const;
    double WeightSum() const;
    // Appends this page, then its frames depth first; each page once.
    void CollectWithFrames(std::vector<CSitePage*>& list);

    // Removes every link for which pred(link) is true, keeping the order of the rest.
    template <typename Pred>
    void RemoveLinksIf(Pred pred);

    std::vector<CSitePage*> ForcedPrefetchPages;
    std::vector<std::unique_ptr<CPageLink>> Links;
    std::vector<CSiteFile*> Images;
    std::vector<CSitePage*> Frames;
    bool ForcePrefetchOrder = false;
    bool IsAccelerated = true;  // not stored
    int32_t TransitionsSinceDecay = 0;
    double DecayProduct = 1.0;
    int32_t ViewSamples = 0;
    int32_t ViewTimeSum = 0;
    int32_t LoadTimeSum = 0;
    int64_t ViewTimeSquareSum = 0;  // not stored
    int64_t LoadTimeSquareSum = 0;  // not stored

    // Call after changing Links directly (adding, removing, replacing or reordering links), so
    // that the lookup index of a page with many links is rebuilt. An index that missed a change
    // can make a lookup miss a link, but never hands out one that is no longer in the list.
    void LinksChanged() { m_linkIndexValid = false; }

  private:
    // Pages with many links (hubs that log analysis links to every page) find links through a
    // map from target to the position of the first link to it in list order.
    static constexpr std::size_t kIndexThreshold = 8;
    void RebuildLinkIndex();
    bool LinkIndexCurrent() const { return m_linkIndexValid && m_indexedLinks == Links.size(); }
    // The link at the indexed position of target, if it still leads there.
    CPageLink* IndexedLink(const CSitePage* target) const;

    std::unordered_map<const CSitePage*, std::size_t> m_linkIndex;
    std::size_t m_indexedLinks = 0;  // Links.size() when the index was last brought up to date
    bool m_linkIndexValid = false;
};

template <typename Pred>
void CSitePage::RemoveLinksIf(Pred pred) {
    std::erase_if(Links, [&](const std::unique_ptr<CPageLink>& link) { return pred(*link); });
    LinksChanged();
}
