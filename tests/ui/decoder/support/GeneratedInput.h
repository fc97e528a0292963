#pragma once
// A sound input that gives a prepared signal, as the server's source gives what it hears:
// paced by the clock as a live source is, or in steps the test controls (so much per read,
// and no further than the test has let it). The test can make it lose its source or server.

#include <QElapsedTimer>
#include <atomic>
#include <vector>

#include "sound/SampleInput.h"

namespace cwt::test {

class GeneratedInput : public SampleInput {
public:
    // `paced`: samples arrive as the clock runs; else at most `stepSamples` each read.
    GeneratedInput(std::vector<float> samples, int rateHz, bool paced, size_t stepSamples = 0);

    int rateHz() const override { return m_rateHz; }
    size_t read(float* out, size_t max) override;
    State state() const override { return m_state; }

    void setState(State state) { m_state = state; }
    // Nothing past `sample` is given until this is called again (unpaced only).
    void holdAt(size_t sample) { m_held = sample; }
    void release() { m_held = m_samples.size(); }
    size_t position() const { return m_position; }
    bool allRead() const { return m_position == m_samples.size(); }

private:
    std::vector<float> m_samples;
    int m_rateHz;
    bool m_paced;
    size_t m_step;
    size_t m_held;
    QElapsedTimer m_clock;
    size_t m_position = 0;
    std::atomic<State> m_state{State::Running};
};

}  // namespace cwt::test
