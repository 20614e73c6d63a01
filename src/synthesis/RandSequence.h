// The pseudo-random sequence whose values become the keys of scrambled instruction files. It is
// the classic linear congruential rand() that starts at 1 and is never seeded, written out here
// so that the files come out byte-identical on every machine and C library. One sequence serves
// the whole process (ProcessRandSequence); any thread may draw from it.
#pragma once

#include <atomic>
#include <cstdint>

class CRandSequence {
  public:
    // A sequence at the given state; the process's own starts at 1.
    explicit CRandSequence(uint32_t state = 1) : m_state(state) {}

    CRandSequence(const CRandSequence&) = delete;
    CRandSequence& operator=(const CRandSequence&) = delete;

    // Steps the state (state * 214013 + 2531011, modulo 2^32) and returns bits 16 to 30 of the
    // new state: a value from 0 to 32767.
    int Next();

    // The current state, for a copy that predicts the values to come.
    uint32_t State() const { return m_state.load(); }

  private:
    std::atomic<uint32_t> m_state;
};

// The process-wide sequence, never seeded.
CRandSequence& ProcessRandSequence();
