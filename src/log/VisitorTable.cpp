#include "log/VisitorTable.h"

#include <algorithm>

CLogVisitor* CVisitorTable::Find(std::string_view client) const {
    auto it = m_index.find(client);
    return it == m_index.end() ? nullptr : it->second;
}

CLogVisitor* CVisitorTable::FindOrCreate(std::string_view client) {
    if (CLogVisitor* visitor = Find(client)) {
        return visitor;
    }
    m_visitors.push_back(std::make_unique<CLogVisitor>(std::string(client)));
    CLogVisitor* visitor = m_visitors.back().get();
    m_index.emplace(std::string_view(visitor->Client), visitor);
    m_oldestHit = std::min(m_oldestHit, visitor->LastHitTime);
    return visitor;
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
            m_index.erase(std::string_view(visitor->Client));
            return true;
        }
        oldest = std::min(oldest, visitor->LastHitTime);
        return false;
    });
    m_oldestHit = oldest;
    return before - m_visitors.size();
}
