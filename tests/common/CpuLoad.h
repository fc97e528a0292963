#pragma once
// Keeps every core busy at ordinary priority, touching memory as a compiler does, for as long as
// it lives: the timing tests measure under it.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace cwt::test {

class CpuLoad {
public:
    CpuLoad() {
        for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
            m_threads.emplace_back([this] {
                std::vector<uint64_t> memory(1 << 20);
                uint64_t x = 1;
                while (!m_stop.load(std::memory_order_relaxed))
                    for (size_t j = 0; j < memory.size(); j += 64)
                        memory[j] = x = x * 6364136223846793005u + j;
            });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let it take the cores
    }
    ~CpuLoad() {
        m_stop = true;
        for (auto& t : m_threads) t.join();
    }
    CpuLoad(const CpuLoad&) = delete;
    CpuLoad& operator=(const CpuLoad&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

}  // namespace cwt::test
