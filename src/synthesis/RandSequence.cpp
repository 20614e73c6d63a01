#include "synthesis/RandSequence.h"

int CRandSequence::Next() {
    uint32_t state = m_state.load();
    uint32_t next;
    do {
        next = state * 214013u + 2531011u;  // unsigned arithmetic wraps modulo 2^32
    } while (!m_state.compare_exchange_weak(state, next));
    return static_cast<int>((next >> 16) & 0x7FFFu);
}

CRandSequence& ProcessRandSequence() {
    static CRandSequence sequence(1);
    return sequence;
}
