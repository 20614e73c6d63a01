// The hash table of the core's hot indexes (page and file names, visitors, names seen in logs,
// fetch files), and TextHash, the hash they use for exact texts. Open addressing with linear
// probing over a power of two of slots, at most half full; a slot holds the key's 64-bit hash
// and a small value the owner defines, so that a probe touches one slot before the owner's one
// comparison. Removal shifts later entries back, so no slot is ever marked deleted. Header only;
// one thread per table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

// A fast 64-bit hash of a short text (names, addresses), inline: eight bytes at a time, each
// mixed by a multiplication, and a final avalanche, so that the low bits that pick a slot depend
// on every byte. Not for untrusted collision resistance: the tables compare the texts themselves.
inline uint64_t TextHash(std::string_view text) {
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    uint64_t h = 0xA0761D6478BD642Full ^ (text.size() * kMultiplier);
    const char* p = text.data();
    std::size_t left = text.size();
    while (left >= 8) {
        uint64_t chunk;
        std::memcpy(&chunk, p, 8);
        h = (h ^ chunk) * kMultiplier;
        h ^= h >> 32;
        p += 8;
        left -= 8;
    }
    if (left > 0) {
        // The last 1 to 7 bytes without a call of memcpy: two overlapping 4-byte reads, or up to
        // three single bytes.
        uint64_t chunk;
        if (left >= 4) {
            uint32_t a, b;
            std::memcpy(&a, p, 4);
            std::memcpy(&b, p + left - 4, 4);
            chunk = (static_cast<uint64_t>(a) << 32) | b;
        } else {
            chunk = (static_cast<uint64_t>(static_cast<unsigned char>(p[0])) << 16) |
                    (static_cast<uint64_t>(static_cast<unsigned char>(p[left / 2])) << 8) |
                    static_cast<unsigned char>(p[left - 1]);
        }
        h = (h ^ chunk) * kMultiplier;
        h ^= h >> 32;
    }
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return h;
}

// TextHash as the hasher of the standard unordered containers of texts, so that they are asked
// with views.
struct TextHasher {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return TextHash(text); }
};

// Value: trivially copyable; a value-initialised Value marks a free slot and converts to false,
// every stored one converts to true. The owner hashes the keys (TextHash, or for keys equal under
// a looser rule a hash of the same quality) and says, by a match function called with a stored
// value of the same hash, whether that value is the key's.
template <typename Value>
class COpenTable {
    static_assert(std::is_trivially_copyable_v<Value>);

  public:
    // firstSlots: the slots of the first allocation, a power of two.
    explicit COpenTable(std::size_t firstSlots = 16) : m_firstSlots(firstSlots) {}

    // The stored value of hash that match accepts, or nullptr. Allocates nothing.
    template <typename Match>
    const Value* Find(uint64_t hash, const Match& match) const {
        if (m_slots.empty()) {
            return nullptr;
        }
        const Slot& slot = m_slots[SlotOf(hash, match)];
        return slot.value ? &slot.value : nullptr;
    }

    // Stores value (not free) under hash when no value of hash that match accepts is stored.
    // Returns the value stored for the key (the one found, or the new one) and whether it is new.
    // The pointer holds until the next Insert or Erase.
    template <typename Match>
    std::pair<Value*, bool> Insert(uint64_t hash, const Match& match, const Value& value) {
        if (!m_slots.empty()) {
            Slot& slot = m_slots[SlotOf(hash, match)];
            if (slot.value) {
                return {&slot.value, false};
            }
        }
        return {&Add(hash, value), true};
    }

    // Stores value (not free) under hash; the caller knows that its key is not stored yet.
    Value& Add(uint64_t hash, const Value& value) {
        if (2 * (m_count + 1) > m_slots.size()) {
            Rehash(m_slots.empty() ? m_firstSlots : 2 * m_slots.size());
        }
        Slot& slot = m_slots[FreeSlot(hash)];
        slot = Slot{hash, value};
        ++m_count;
        return slot.value;
    }

    // Removes the value of hash that match accepts. Returns false when there is none.
    template <typename Match>
    bool Erase(uint64_t hash, const Match& match) {
        if (m_slots.empty()) {
            return false;
        }
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = SlotOf(hash, match);
        if (!m_slots[i].value) {
            return false;
        }
        // Shift back every later entry of the run that would no longer be found past the gap.
        for (std::size_t j = (i + 1) & mask; m_slots[j].value; j = (j + 1) & mask) {
            const std::size_t home = m_slots[j].hash & mask;
            // The entry may move to i when its home does not lie in the cyclic range (i, j].
            const bool homeInRange = i < j ? (home > i && home <= j) : (home > i || home <= j);
            if (!homeInRange) {
                m_slots[i] = m_slots[j];
                i = j;
            }
        }
        m_slots[i] = Slot{};
        --m_count;
        return true;
    }

    // Makes room for count values without growing again.
    void Reserve(std::size_t count) {
        std::size_t slots = m_slots.empty() ? m_firstSlots : m_slots.size();
        while (slots < 2 * count) {
            slots *= 2;
        }
        if (slots != m_slots.size()) {
            Rehash(slots);
        }
    }

    void Clear() {
        m_slots.clear();
        m_count = 0;
    }

    std::size_t Size() const { return m_count; }

  private:
    struct Slot {
        uint64_t hash = 0;
        Value value{};
    };

    template <typename Match>
    std::size_t SlotOf(uint64_t hash, const Match& match) const {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = hash & mask;
        while (m_slots[i].value && (m_slots[i].hash != hash || !match(m_slots[i].value))) {
            i = (i + 1) & mask;
        }
        return i;
    }

    std::size_t FreeSlot(uint64_t hash) const {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = hash & mask;
        while (m_slots[i].value) {
            i = (i + 1) & mask;
        }
        return i;
    }

    void Rehash(std::size_t slots) {
        std::vector<Slot> old = std::move(m_slots);
        m_slots.assign(slots, Slot{});
        for (const Slot& slot : old) {
            if (slot.value) {
                m_slots[FreeSlot(slot.hash)] = slot;
            }
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
    std::size_t m_firstSlots;
};
