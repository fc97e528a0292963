#pragma once
// Moves the signal at the pitch down to 0 Hz and thins the working rate out to the baseband
// rate: a complex mixer whose phase runs on across pitch changes, then a low-pass of about
// ±100 Hz evaluated only at the kept samples.

#include <complex>
#include <span>
#include <vector>

namespace cwt::decode {

class Downconverter {
public:
    Downconverter(int rateHz, int decimation);

    void setPitchHz(double pitchHz);
    double pitchHz() const { return m_pitchHz; }

    // Appends the baseband samples completed by `samples` to `out`.
    void push(std::span<const float> samples, std::vector<std::complex<float>>& out);

    int basebandRateHz() const { return m_rate / m_decimation; }
    // Baseband sample k stands for working-rate sample k × decimation; it is produced once
    // the low-pass's last tap has arrived, (taps - 1) / 2 working samples later.
    // Autocorrelation of the low-pass at whole baseband lags, divided by its value at lag 0: what
    // white input noise looks like after it, to weigh sums of neighbouring baseband samples.
    const std::vector<double>& noiseCorrelation() const { return m_noiseCorrelation; }
    // Power a baseband sample gets from white input noise of unit power: Σ taps².
    double noiseGain() const { return m_noiseGain; }

private:
    int m_rate;
    int m_decimation;
    double m_pitchHz = 0.0;
    double m_phase = 0.0;   // cycles, kept in [0, 1)
    double m_step = 0.0;    // cycles per working-rate sample
    std::vector<float> m_taps;
    std::vector<std::complex<float>> m_history;  // mixed samples, the newest last
    long m_received = 0;  // working-rate samples taken
    std::vector<double> m_noiseCorrelation;
    double m_noiseGain = 0.0;
};

}  // namespace cwt::decode
