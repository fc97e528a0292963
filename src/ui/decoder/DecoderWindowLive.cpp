// The window's decoding as it runs: the sound input drained by a timer, the decoder fed, the
// text, the waterfall and the readings brought up to date, and an input that goes away.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "components/VelAccessible.h"
#include "sound/PulseInput.h"
#include "ui/decoder/DecodedTextView.h"
#include "ui/decoder/DecoderWindow.h"
#include "ui/decoder/WaterfallView.h"

namespace {

// The decoder works at 8 kHz: asked for that rate, the server converts, and no second
// conversion follows.
constexpr int kLiveRateHz = 8000;
// How often the input is drained. With the server's 20 ms fragments, a sample waits at most
// about 45 ms before the decoder sees it.
constexpr int kPollMs = 25;
constexpr int kFragmentMs = 20;
// The pitch, speed and SNR change slowly; a screen reader need not hear them every poll.
constexpr int kReadingsMs = 500;
// A live source sends all the time, silence included: this long without samples means the
// server stopped answering.
constexpr int kSilentInputMs = 3000;
constexpr size_t kBlockSamples = 4096;

}  // namespace

void DecoderWindow::setStatus(const QString& text) { cwt::SetLabelText(StatusLabel, text); }

void DecoderWindow::setRunning(bool running) {
    StartButton->setEnabled(!running);
    OpenFileButton->setEnabled(!running);
    SourceBox->setEnabled(!running);
    RefreshSourcesButton->setEnabled(!running);
    StopButton->setEnabled(running);
    PitchBox->setEnabled(!AutoPitchBox->isChecked());
}

void DecoderWindow::startDecoder(int rateHz) {
    if (!m_makeDecoder) return;
    m_decoder = m_makeDecoder(rateHz, settings());
    m_decoderRateHz = rateHz;
    m_framesShown = 0;
    Waterfall->clearFrames();
    refreshReadings();
}

void DecoderWindow::StartButtonClick() {
    if (decoding() || decodingFile()) return;
    if (!m_pulse) m_pulse = std::make_unique<cwt::PulseInput>();
    const QString source = chosenSource();
    if (!m_pulse->open(source, kLiveRateHz, kFragmentMs)) {
        setStatus(QStringLiteral("입력 장치 '%1'을(를) 열 수 없습니다: %2")
                      .arg(SourceBox->currentText(), m_pulse->lastError()));
        return;
    }
    m_input = m_pulse.get();
    saveChoices();
    setStatus(QStringLiteral("'%1'에서 듣는 중입니다.").arg(SourceBox->currentText()));
    startDecoder(kLiveRateHz);
    TextView->endLine();
    m_sinceSamples.start();
    m_silentInputTold = false;
    m_pollTimer.start(kPollMs);
    setRunning(true);
}

void DecoderWindow::startInput(std::unique_ptr<cwt::SampleInput> input) {
    if (decoding() || decodingFile()) StopButtonClick();
    m_ownInput = std::move(input);
    m_input = m_ownInput.get();
    setStatus(QStringLiteral("듣는 중입니다."));
    startDecoder(m_input->rateHz());
    TextView->endLine();
    m_sinceSamples.start();
    m_silentInputTold = false;
    m_pollTimer.start(kPollMs);
    setRunning(true);
}

void DecoderWindow::StopButtonClick() {
    if (decodingFile()) {
        finishFile();
        setStatus(QStringLiteral("파일 해독을 멈췄습니다."));
        return;
    }
    if (decoding()) endDecoding(QStringLiteral("멈춤."));
}

// Ends the live decoding: what is still in the input is decoded, and what the decoder holds
// comes out as final.
void DecoderWindow::endDecoding(const QString& status) {
    m_pollTimer.stop();
    if (m_input) {
        size_t n;
        m_block.resize(kBlockSamples);
        while ((n = m_input->read(m_block.data(), m_block.size())) > 0)
            feed(std::span<const float>(m_block.data(), n));
    }
    if (m_decoder) {
        m_decoder->finish();
        takeText();
    }
    if (m_pulse) m_pulse->close();
    m_ownInput.reset();
    m_input = nullptr;
    setRunning(false);
    setStatus(status);
}

void DecoderWindow::pollInput() {
    if (!m_input) return;
    m_block.resize(kBlockSamples);
    bool any = false;
    size_t n;
    while ((n = m_input->read(m_block.data(), m_block.size())) > 0) {
        feed(std::span<const float>(m_block.data(), n));
        any = true;
    }
    if (any) {
        m_sinceSamples.restart();
        if (m_silentInputTold) {
            m_silentInputTold = false;
            setStatus(QStringLiteral("듣는 중입니다."));
        }
    }
    checkInput();
}

// A source or a server that went away ends the decoding, in words; a server that stopped
// sending is told, and the window keeps listening in case it comes back.
void DecoderWindow::checkInput() {
    switch (m_input->state()) {
        case cwt::SampleInput::State::SourceLost:
            endDecoding(QStringLiteral("입력 장치 '%1'이(가) 사라져 해독을 멈췄습니다. 장치를 "
                                       "다시 연결하거나 다른 장치를 고르십시오.")
                            .arg(SourceBox->currentText()));
            return;
        case cwt::SampleInput::State::ServerLost:
            endDecoding(QStringLiteral("사운드 서버와의 연결이 끊겨 해독을 멈췄습니다."));
            return;
        case cwt::SampleInput::State::Closed:
            endDecoding(QStringLiteral("입력이 닫혀 해독을 멈췄습니다."));
            return;
        case cwt::SampleInput::State::Running:
            break;
    }
    if (!m_silentInputTold && m_sinceSamples.elapsed() > kSilentInputMs) {
        m_silentInputTold = true;
        setStatus(
            QStringLiteral("입력에서 소리가 오지 않습니다. 사운드 서버가 응답하지 "
                           "않습니다."));
    }
}

void DecoderWindow::feed(std::span<const float> samples) {
    if (!m_decoder) return;
    m_decoder->push(samples);
    takeText();
    // Every frame is a row of the waterfall, however many came since the last poll.
    const long frames = m_decoder->spectrumFrames();
    if (frames != m_framesShown) {
        m_framesShown = frames;
        Waterfall->addFrame(m_decoder->spectrum(), m_decoder->binHz());
    }
    if (!m_sinceReadings.isValid() || m_sinceReadings.elapsed() >= kReadingsMs) refreshReadings();
}

void DecoderWindow::takeText() {
    const std::vector<cwt::ReceivedChar> characters = m_decoder->takeCharacters();
    const double nowMs = m_decoder->timeMs();
    for (const cwt::ReceivedChar& character : characters)
        if (!character.wordSpaceCorrection) m_delaysMs.push_back(nowMs - character.endMs);
    TextView->appendCharacters(characters);
    TextView->setPreedit(m_decoder->preedit());
}

void DecoderWindow::refreshReadings() {
    m_sinceReadings.restart();
    const bool locked = m_decoder && m_decoder->locked();
    const bool picked = !AutoPitchBox->isChecked();
    if (locked) {
        cwt::SetLabelText(PitchLabel, QStringLiteral("음높이: %1 Hz%2")
                                          .arg(m_decoder->pitchHz(), 0, 'f', 0)
                                          .arg(picked ? QString() : QStringLiteral(" (자동)")));
        cwt::SetLabelText(SpeedLabel,
                          QStringLiteral("속도: %1 WPM").arg(m_decoder->wpm(), 0, 'f', 1));
        cwt::SetLabelText(SnrLabel,
                          QStringLiteral("신호 대 잡음: %1 dB").arg(m_decoder->snrDb(), 0, 'f', 1));
        Waterfall->setPitch(m_decoder->pitchHz(), picked);
    } else {
        cwt::SetLabelText(PitchLabel, m_decoder ? QStringLiteral("음높이: 신호 없음")
                                                : QStringLiteral("음높이: —"));
        cwt::SetLabelText(SpeedLabel, QStringLiteral("속도: —"));
        cwt::SetLabelText(SnrLabel, QStringLiteral("신호 대 잡음: —"));
        if (!picked) Waterfall->setPitch(std::nullopt, false);
    }
}
