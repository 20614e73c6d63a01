// The visitors that log analysis follows: one per client text, found through a hash index, kept
// in the order they were created, and forgotten after a time without page hits. Owned by the
// log analyzer; used on its thread.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/OpenTable.h"

class CSitePage;
struct LoaderFetchFile;

// One visitor: the client it is known by, the page it is on and the times of that page.
class CLogVisitor {
  public:
    explicit CLogVisitor(std::string client) : Client(std::move(client)) {}

    const std::string Client;   // exact, case-sensitive identity
    CSitePage* Page = nullptr;  // the current page (borrowed from the graph), or none
    time_t LastHitTime = 0;     // time of the last page hit; 0 when new
    time_t LoadEndTime = 0;     // estimated end of loading the page and its files; 0 when new

    // The visitor's last referer and the page it names, while that answer lasts.
    bool RefererKnown = false;
    std::string RefererText;
    CSitePage* RefererPage = nullptr;

    // The fetch files the client's loader read last (one per tab that loads pages at the same
    // time), newest last, and when: the first LoaderListCount of LoaderLists. Held in place, so
    // that a visitor costs no allocation more.
    struct LoaderList {
        const LoaderFetchFile* file = nullptr;
        time_t time = 0;
    };
    static constexpr std::size_t kLoaderLists = 4;
    std::array<LoaderList, kLoaderLists> LoaderLists;
    std::size_t LoaderListCount = 0;
};

class CVisitorTable {
  public:
    // The visitor of client, or nullptr. Allocates nothing.
    CLogVisitor* Find(std::string_view client) const;
    // The visitor of client, appended as a new one when there is none.
    CLogVisitor* FindOrCreate(std::string_view client);
    // Removes every visitor whose last hit time is more than timeout seconds before t; the others
    // keep their order. Returns how many were removed.
    std::size_t RemoveInactive(time_t t, time_t timeout);

    std::size_t Size() const { return m_visitors.size(); }

  private:
    static uint64_t Hash(std::string_view client) { return TextHash(client); }
    static auto Matches(std::string_view client) {
        return [client](const CLogVisitor* visitor) { return visitor->Client == client; };
    }
    void Erase(const CLogVisitor* visitor);

    std::vector<std::unique_ptr<CLogVisitor>> m_visitors;
    COpenTable<CLogVisitor*> m_index{256};  // the visitors by their clients' hashes
    // The visitor found last: a client's requests often come one after another (a page, its
    // files, its loader's), and a comparison of its text costs less than a lookup.
    mutable CLogVisitor* m_last = nullptr;
    // No visitor's last hit time is below this, so a removal pass that cannot remove anything is
    // skipped.
    time_t m_oldestHit = 0;

    friend class CLogAnalyzer;
    // Records a visitor's new last hit time.
    void Touch(CLogVisitor* visitor, time_t t);
};
