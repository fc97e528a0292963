#include "sound/CodePlayer.h"

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>
#include <climits>

#include "engine/morse/Timing.h"
#include "sound/SoundBeepUnit.h"
#include "sound/VelWaveCtrl.h"

namespace cwt {

CodePlayer::CodePlayer(TVelWaveCtrl& wave, SpeakerOutput speaker)
    : m_wave(wave), m_speaker(speaker) {}

namespace {

std::vector<uint8_t> LongTone(const CodeSettings& settings, int unit, bool tones) {
    if (tones) return SynthesizeTone(settings.tone, 3 * unit);
    return std::vector<uint8_t>(static_cast<size_t>(std::max(3 * unit, 0)),
                                SilenceByte(settings.tone.sampleBits));
}

void AppendSilence(std::vector<uint8_t>& sound, long long samples, int sampleBits) {
    if (samples > 0)
        sound.insert(sound.end(), static_cast<size_t>(samples), SilenceByte(sampleBits));
}

}  // namespace

std::vector<uint8_t> CodePlayer::Render(std::string_view code, bool syllableEnd,
                                        const CodeSettings& settings, long long extraSilence,
                                        bool tones) {
    const int unit = ToneUnit(settings.toneWidth, settings.dotLength);
    std::vector<uint8_t> sound =
        LayOutCode(code, syllableEnd, unit, LongTone(settings, unit, tones),
                   SilenceByte(settings.tone.sampleBits));
    AppendSilence(sound, extraSilence, settings.tone.sampleBits);
    return sound;
}

void CodePlayer::shutDown() {
    m_shutDown = true;
    m_wave.ShutDown();
}

void CodePlayer::PlayCode(std::string_view code, bool syllableEnd, const CodeSettings& settings,
                          long long extraSilence) {
    if (m_shutDown) return;
    const bool sound = tones();
    if (m_listener) m_listener->codeStarts(code, syllableEnd, false, settings, extraSilence);
    if (settings.pcSpeaker) {
        PlaySpeaker(code, syllableEnd, settings, extraSilence, sound);
        return;
    }
    const std::vector<uint8_t> rendered = Render(code, syllableEnd, settings, extraSilence, sound);
    QPointer<TVelWaveCtrl> alive(&m_wave);
    // User value 0: the component closes the device once this buffer has played.
    m_wave.PlayBuffer(rendered.data(), static_cast<int>(rendered.size()), 0, 0);
    if (!alive) return;
    WaitWhilePlaying();
}

void CodePlayer::WaitWhilePlaying() {
    QPointer<TVelWaveCtrl> alive(&m_wave);
    while (alive && alive->Playing())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void CodePlayer::PlaySpeaker(std::string_view code, bool syllableEnd, const CodeSettings& settings,
                             long long extraMs, bool tones) {
    const CodeLayout layout = LayoutOf(code, syllableEnd);
    const int dotMs = DotMs(settings.dotLength);
    // A wait ends early when the program ends meanwhile; a beep takes its length regardless.
    const std::function<bool()> cut = [this] { return m_shutDown; };
    for (int i = 0; i < layout.elementCount; ++i) {
        if (m_shutDown) return;
        const char element = code[static_cast<size_t>(i)];
        if (element == 'L' || element == 'S') {
            const int frequencyHz =
                m_speakerFrequencyHz ? m_speakerFrequencyHz() : settings.tone.freqHz;
            const int durationMs = element == 'L' ? 3 * dotMs : dotMs;
            if (!tones)
                WaitMs(durationMs, cut);
            else if (m_speaker.portAccess && m_speaker.ports)
                PortTone(*m_speaker.ports, frequencyHz, durationMs, cut);
            else if (m_speaker.beeper)
                m_speaker.beeper->beep(frequencyHz, durationMs);
            else
                Beep(frequencyHz, durationMs);
        } else {
            WaitMs(dotMs, cut);
        }
        if (i + 1 < layout.elementCount) WaitMs(dotMs, cut);
    }
    const int gapMarkMs = layout.endOfWord ? (syllableEnd ? 12 : 6) * dotMs : 0;
    if (m_shutDown) return;
    WaitMs(dotMs + gapMarkMs, cut);
    if (extraMs > 0 && !m_shutDown)
        WaitMs(static_cast<int>(std::min<long long>(extraMs, INT_MAX)), cut);
}

CodePlayer::Sign CodePlayer::BeginSign(const CodeSettings& settings) {
    return Sign(*this, settings);
}

CodePlayer::Sign::Sign(CodePlayer& player, const CodeSettings& settings)
    : m_player(player), m_settings(settings) {
    m_tones = player.tones();
    if (settings.pcSpeaker) return;
    m_toneUnitSamples = ToneUnit(settings.toneWidth, settings.dotLength);
    m_longTone = LongTone(settings, m_toneUnitSamples, m_tones);
}

void CodePlayer::Sign::QueueCode(std::string_view code, uint8_t nextChar, bool syllableEnd,
                                 long long extraSilence) {
    if (m_player.m_shutDown) return;
    if (CodeListener* listener = m_player.m_listener)
        listener->codeStarts(code, syllableEnd, code.empty() || code.back() != '!', m_settings,
                             extraSilence);
    if (m_settings.pcSpeaker) {
        m_player.PlaySpeaker(code, syllableEnd, m_settings, extraSilence, m_tones);
        return;
    }
    std::vector<uint8_t> sound = LayOutCode(code, syllableEnd, m_toneUnitSamples, m_longTone,
                                            SilenceByte(m_settings.tone.sampleBits));
    AppendSilence(sound, extraSilence, m_settings.tone.sampleBits);
    m_player.m_wave.PlayBuffer(sound.data(), static_cast<int>(sound.size()), nextChar, 0);
}

void CodePlayer::Sign::Finish() {
    if (!m_settings.pcSpeaker) m_player.WaitWhilePlaying();
}

double UnitMs(const CodeSettings& settings, int samplesPerSec) {
    if (settings.pcSpeaker) return DotMs(settings.dotLength);
    if (samplesPerSec <= 0) return 0;
    return ToneUnit(settings.toneWidth, settings.dotLength) * 1000.0 / samplesPerSec;
}

int TicksPerUnit(const CodeSettings& settings) {
    return settings.pcSpeaker ? DotMs(settings.dotLength)
                              : ToneUnit(settings.toneWidth, settings.dotLength);
}

}  // namespace cwt
