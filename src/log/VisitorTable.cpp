#include "log/VisitorTable.h"

#include <algorithm>

#include "log/LogFields.h"

uint64_t CVisitorTable::Hash(std::string_view client) {
    return TextHash(client);
}

std::size_t CVisitorTable::SlotOf(std::string_view client, uint64_t hash) const {
    std::size_t mask = m_slots.size() - 1;
    std::size_t i = hash & mask;
    while (m_slots[i].visitor != nullptr &&
           (m_slots[i].hash != hash || m_slots[i].visitor->Client != client)) {
        i = (i + 1) & mask;
    }
    return i;
}

CLogVisitor* CVisitorTable::Find(std::string_view client) const {
    if (m_last != nullptr && m_last->Client == client) {
        return m_last;
    }
    if (m_slots.empty()) {
        return nullptr;
    }
    CLogVisitor* visitor = m_slots[SlotOf(client, Hash(client))].visitor;
    if (visitor != nullptr) {
        m_last = visitor;
    }
    return visitor;
}

CLogVisitor* CVisitorTable::FindOrCreate(std::string_view client) {
    if (m_last != nullptr && m_last->Client == client) {
        return m_last;
    }
    uint64_t hash = Hash(client);
    if (!m_slots.empty()) {
        if (CLogVisitor* visitor = m_slots[SlotOf(client, hash)].visitor) {
            m_last = visitor;
            return visitor;
        }
    }
    m_visitors.push_back(std::make_unique<CLogVisitor>(std::string(client)));
    CLogVisitor* visitor = m_visitors.back().get();
    Insert(visitor, hash);
    m_last = visitor;
    m_oldestHit = std::min(m_oldestHit, visitor->LastHitTime);
    return visitor;
}

void CVisitorTable::Insert(CLogVisitor* visitor, uint64_t hash) {
    if (2 * (m_visitors.size() + 1) > m_slots.size()) {
        Grow();
    }
    std::size_t i = SlotOf(visitor->Client, hash);
    m_slots[i] = Slot{hash, visitor};
}

void CVisitorTable::Grow() {
    std::vector<Slot> old = std::move(m_slots);
    m_slots.assign(old.empty() ? 256 : 2 * old.size(), Slot{});
    std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.visitor != nullptr) {
            std::size_t i = slot.hash & mask;
            while (m_slots[i].visitor != nullptr) {
                i = (i + 1) & mask;
            }
            m_slots[i] = slot;
        }
    }
}

void CVisitorTable::Erase(const CLogVisitor* visitor) {
    if (visitor == m_last) {
        m_last = nullptr;
    }
    std::size_t mask = m_slots.size() - 1;
    std::size_t i = SlotOf(visitor->Client, Hash(visitor->Client));
    // Shift back every later entry of the run that would no longer be found past the gap.
    for (std::size_t j = (i + 1) & mask; m_slots[j].visitor != nullptr; j = (j + 1) & mask) {
        std::size_t home = m_slots[j].hash & mask;
        // The entry may move to i when its home does not lie in the cyclic range (i, j].
        bool homeInRange = i < j ? (home > i && home <= j) : (home > i || home <= j);
        if (!homeInRange) {
            m_slots[i] = m_slots[j];
            i = j;
        }
    }
    m_slots[i] = Slot{};
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
