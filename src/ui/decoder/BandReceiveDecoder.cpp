#include "ui/decoder/BandReceiveDecoder.h"

#include "engine/decode/BandDecoder.h"

namespace cwt {
namespace {

ReceivedChar Received(const decode::DecodedChar& decoded) {
    ReceivedChar character;
    character.text = decoded.text;
    character.known = decoded.known;
    character.confidence = decoded.confidence;
    character.wordSpaceBefore = decoded.wordSpaceBefore;
    character.startMs = decoded.startMs;
    character.endMs = decoded.endMs;
    character.wordSpaceCorrection = decoded.wordSpaceCorrection;
    return character;
}

class BandReceiveDecoder : public ReceiveDecoder {
public:
    BandReceiveDecoder(int rateHz, const ReceiveSettings& settings)
        : m_decoder(rateHz, decode::BandDecoderSettings{.lowHz = settings.lowHz,
                                                        .highHz = settings.highHz,
                                                        .pitchHz = settings.pitchHz,
                                                        .wpm = std::nullopt,
                                                        .korean = settings.korean}) {}

    void push(std::span<const float> samples) override { m_decoder.push(samples); }
    void finish() override { m_decoder.finish(); }
    std::vector<ReceivedChar> takeCharacters() override {
        std::vector<ReceivedChar> characters;
        for (const decode::DecodedChar& decoded : m_decoder.takeCharacters())
            characters.push_back(Received(decoded));
        return characters;
    }
    std::optional<ReceivedChar> preedit() const override {
        const std::optional<decode::DecodedChar> open = m_decoder.preedit();
        return open ? std::optional<ReceivedChar>(Received(*open)) : std::nullopt;
    }
    void pickPitch(std::optional<double> pitchHz) override { m_decoder.pickPitch(pitchHz); }
    void setKorean(bool korean) override { m_decoder.setKorean(korean); }
    bool locked() const override { return m_decoder.locked(); }
    double pitchHz() const override { return m_decoder.pitchHz(); }
    double wpm() const override { return m_decoder.wpm(); }
    double snrDb() const override { return m_decoder.snrDb(); }
    double timeMs() const override { return m_decoder.timeMs(); }
    const std::vector<float>& spectrum() const override { return m_decoder.spectrum(); }
    double binHz() const override { return m_decoder.binHz(); }
    long spectrumFrames() const override { return m_decoder.spectrumFrames(); }

private:
    decode::BandDecoder m_decoder;
};

}  // namespace

std::unique_ptr<ReceiveDecoder> MakeBandReceiveDecoder(int rateHz,
                                                       const ReceiveSettings& settings) {
    return std::make_unique<BandReceiveDecoder>(rateHz, settings);
}

}  // namespace cwt
