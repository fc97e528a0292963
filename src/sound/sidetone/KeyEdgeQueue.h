#pragma once
// Key edges on their way to the audio thread. Any thread may hand an edge in (a serial-port
// watcher, a keyer thread, the GUI thread), at the same time as the others; the audio thread
// takes them out. No locks and no allocation after construction: the audio thread never waits
// for a thread that was preempted in the middle of a push, and a producer never waits either.
// A bounded queue after Dmitry Vyukov: every cell carries a sequence number that says whose
// turn it is, so producers only contend on one counter.

#include <array>
#include <atomic>
#include <cstddef>

#include "engine/keyer/KeyEvents.h"

namespace cwt {

class KeyEdgeQueue {
public:
    static constexpr size_t kCapacity = 1024;  // a power of two

    KeyEdgeQueue() {
        for (size_t i = 0; i < kCapacity; ++i)
            m_cells[i].sequence.store(i, std::memory_order_relaxed);
    }
    KeyEdgeQueue(const KeyEdgeQueue&) = delete;
    KeyEdgeQueue& operator=(const KeyEdgeQueue&) = delete;

    // Any thread. False when the queue is full (nobody takes edges out: the stream is not
    // running); the edge is then not kept.
    bool push(const keyer::KeyEdge& edge) {
        size_t position = m_pushAt.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = m_cells[position & (kCapacity - 1)];
            const size_t sequence = cell.sequence.load(std::memory_order_acquire);
            const auto turn = static_cast<std::ptrdiff_t>(sequence - position);
            if (turn == 0) {
                if (m_pushAt.compare_exchange_weak(position, position + 1,
                                                   std::memory_order_relaxed)) {
                    cell.edge = edge;
                    cell.sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            } else if (turn < 0) {
                return false;
            } else {
                position = m_pushAt.load(std::memory_order_relaxed);
            }
        }
    }

    // One consumer at a time (the audio thread, or the owner while no stream runs). False when
    // nothing is waiting.
    bool pop(keyer::KeyEdge& edge) {
        const size_t position = m_popAt.load(std::memory_order_relaxed);
        Cell& cell = m_cells[position & (kCapacity - 1)];
        const size_t sequence = cell.sequence.load(std::memory_order_acquire);
        if (sequence != position + 1) return false;
        edge = cell.edge;
        cell.sequence.store(position + kCapacity, std::memory_order_release);
        m_popAt.store(position + 1, std::memory_order_relaxed);
        return true;
    }

private:
    struct Cell {
        std::atomic<size_t> sequence{0};
        keyer::KeyEdge edge;
    };
    std::array<Cell, kCapacity> m_cells;
    alignas(64) std::atomic<size_t> m_pushAt{0};
    alignas(64) std::atomic<size_t> m_popAt{0};
};

}  // namespace cwt
