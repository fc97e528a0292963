#pragma once
// The tone settings handed from the GUI thread to the audio thread without a lock: the writer
// bumps a sequence number around its stores (odd while it writes), the reader copies and keeps
// the copy only when the number was even and unchanged. The audio thread never waits for the
// GUI thread; a change simply reaches it at its next read.

#include <array>
#include <atomic>
#include <cstdint>

#include "sound/ToneSynth.h"

namespace cwt {

class SharedTone {
public:
    // One writer at a time (the GUI thread).
    void store(const ToneSettings& tone) {
        const uint32_t sequence = m_sequence.load(std::memory_order_relaxed);
        m_sequence.store(sequence + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        const std::array<int, kFields> fields = {
            tone.freqHz,     tone.cut,      tone.slope, tone.timbre, static_cast<int>(tone.kind),
            tone.sampleBits, tone.synthRate};
        for (int i = 0; i < kFields; ++i) m_fields[i].store(fields[i], std::memory_order_relaxed);
        m_sequence.store(sequence + 2, std::memory_order_release);
    }

    // Any thread. Copies the settings into `tone` and returns true when they changed since
    // `seen` (which it updates); false leaves `tone` alone, also while a store is under way.
    bool loadIfChanged(uint32_t& seen, ToneSettings& tone) const {
        const uint32_t before = m_sequence.load(std::memory_order_acquire);
        if (before == seen || (before & 1) != 0) return false;
        std::array<int, kFields> fields{};
        for (int i = 0; i < kFields; ++i) fields[i] = m_fields[i].load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (m_sequence.load(std::memory_order_relaxed) != before) return false;
        tone.freqHz = fields[0];
        tone.cut = fields[1];
        tone.slope = fields[2];
        tone.timbre = fields[3];
        tone.kind = static_cast<WaveKind>(fields[4]);
        tone.sampleBits = fields[5];
        tone.synthRate = fields[6];
        seen = before;
        return true;
    }

private:
    static constexpr int kFields = 7;
    std::atomic<uint32_t> m_sequence{0};
    std::array<std::atomic<int>, kFields> m_fields{};
};

}  // namespace cwt
