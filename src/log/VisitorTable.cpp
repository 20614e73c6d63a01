#include "log/VisitorTable.h"

#include <algorithm>

CLogVisitor* CVisitorTable::Find(std::string_view client) const {
    if (m_last != nullptr && m_last->Client == client) {
        return m_last;
    }
    CLogVisitor* const* found = m_index.Find(Hash(client), Matches(client));
    if (found == nullptr) {
        return nullptr;
    }
    m_last = *found;
    return m_last;
}

CLogVisitor* CVisitorTable::FindOrCreate(std::string_view client) {
    if (m_last != nullptr && m_last->Client == client) {
        return m_last;
    }
    const uint64_t hash = Hash(client);
    if (CLogVisitor* const* found = m_index.Find(hash, Matches(client))) {
        m_last = *found;
        return m_last;
    }
    m_visitors.push_back(std::make_unique<CLogVisitor>(std::string(client)));
    CLogVisitor* visitor = m_visitors.back().get();
    m_index.Add(hash, visitor);
    m_last = visitor;
    m_oldestHit = std::min(m_oldestHit, visitor->LastHitTime);
    return visitor;
}

void CVisitorTable::Erase(const CLogVisitor* visitor) {
    if (visitor == m_last) {
        m_last = nullptr;
    }
    m_index.Erase(Hash(visitor->Client),
                  [visitor](const CLogVisitor* stored) { return stored == visitor; });
}

void CVisitorTable::Touch(CLogVisitor* visitor, time_t t) {
    visitor->LastHitTime = t;
    m_oldestHit = std::min(m_oldestHit, t);
}

std::size_t CVisitorTable::RemoveInactive(time_t t, time_t timeout) {
    if (m_visitors.empty() || t - m_oldestHit <= timeout) {
        return 0;
    }
    std::size_t before = m_visitors.size();
    time_t oldest = t;
    std::erase_if(m_visitors, [&](const std::unique_ptr<CLogVisitor>& visitor) {
        if (t - visitor->LastHitTime > timeout) {
            Erase(visitor.get());
            return true;
        }
        oldest = std::min(oldest, visitor->LastHitTime);
        return false;
    });
    m_oldestHit = oldest;
    return before - m_visitors.size();
}
