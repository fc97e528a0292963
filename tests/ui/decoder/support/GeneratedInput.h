#pragma once
// A sound input that gives a prepared signal, as the server's source gives what it hears:
// either as fast as it is read, or paced by the clock as a live source is. The test can make
// it lose its source or its server.

#include <QElapsedTimer>
#include <atomic>
#include <vector>

#include "sound/SampleInput.h"

namespace cwt::test {

class GeneratedInput : public SampleInput {
public:
    GeneratedInput(std::vector<float> samples, int rateHz, bool paced);

    int rateHz() const override { return m_rateHz; }
    size_t read(float* out, size_t max) override;
    State state() const override { return m_state; }

    void setState(State state) { m_state = state; }
    bool allRead() const { return m_position == m_samples.size(); }

private:
    std::vector<float> m_samples;
    int m_rateHz;
    bool m_paced;
    QElapsedTimer m_clock;
    size_t m_position = 0;
    std::atomic<State> m_state{State::Running};
};

}  // namespace cwt::test
