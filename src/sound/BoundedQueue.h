#pragma once
// A queue between threads that never blocks and allocates nothing after construction: several
// producers (the keyboard on the GUI thread, a serial port's watcher thread, a keyer's thread)
// hand values in at the same time, one consumer takes them out. A producer preempted in the
// middle of a push holds back only its own value, never the consumer or the other producers. A
// bounded queue after Dmitry Vyukov: every cell carries a sequence number that says whose turn
// it is, so the producers contend on one counter only.

#include <array>
#include <atomic>
#include <cstddef>
#include <utility>

namespace cwt {

template <typename T, size_t Capacity>
class BoundedQueue {
    static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "a power of two");

public:
    static constexpr size_t kCapacity = Capacity;

    BoundedQueue() {
        for (size_t i = 0; i < Capacity; ++i)
            m_cells[i].sequence.store(i, std::memory_order_relaxed);
    }
    BoundedQueue(const BoundedQueue&) = delete;
    BoundedQueue& operator=(const BoundedQueue&) = delete;

    // Any thread. False when the queue is full; the value is then not kept.
    bool push(const T& value) {
        size_t position = m_pushAt.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = m_cells[position & (Capacity - 1)];
            const size_t sequence = cell.sequence.load(std::memory_order_acquire);
            const auto turn = static_cast<std::ptrdiff_t>(sequence - position);
            if (turn == 0) {
                if (m_pushAt.compare_exchange_weak(position, position + 1,
                                                   std::memory_order_relaxed)) {
                    cell.value = value;
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

    // One consumer at a time. False when nothing is waiting (or the value pushed next is still
    // being written: it is taken on the next call).
    bool pop(T& value) {
        const size_t position = m_popAt.load(std::memory_order_relaxed);
        Cell& cell = m_cells[position & (Capacity - 1)];
        if (cell.sequence.load(std::memory_order_acquire) != position + 1) return false;
        value = std::move(cell.value);
        cell.sequence.store(position + Capacity, std::memory_order_release);
        m_popAt.store(position + 1, std::memory_order_relaxed);
        return true;
    }

private:
    struct Cell {
        std::atomic<size_t> sequence{0};
        T value{};
    };
    std::array<Cell, Capacity> m_cells;
    alignas(64) std::atomic<size_t> m_pushAt{0};
    alignas(64) std::atomic<size_t> m_popAt{0};
};

}  // namespace cwt
