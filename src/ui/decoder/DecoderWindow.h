#pragma once
// "수신 해독": decodes received Morse from the sound input as it comes (the server's default
// source, or one the operator picks, such as a receiver's USB sound card or the monitor of a
// sink), or from a WAV file. Shows the pass band as a waterfall where a click picks the
// signal, the pitch, speed and signal-to-noise ratio the decoder estimates, and the text
// coloured by confidence, in English or in Hangul; the text can be copied and saved.
//
// Live samples come through a SampleInput that a timer of the window drains every few tens of
// milliseconds; the decoder runs on the GUI thread. A WAV file is decoded in pieces between
// events, so the window stays responsive and shows its progress. The window keeps its own
// choices (source, language, pass band) with the practice history's choices; nothing of the
// main window is needed. GUI thread only.

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>
#include <span>

#include "sound/SampleInput.h"
#include "ui/decoder/ReceiveDecoder.h"
#include "ui/decoder/SampleFileReader.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class DecodedTextView;
class WaterfallView;

namespace cwt {
class ProgressStore;
class PulseInput;
}  // namespace cwt

class DecoderWindow : public QWidget {
    Q_OBJECT

public:
    explicit DecoderWindow(QWidget* parent);
    ~DecoderWindow() override;

    // ----- Handlers -----
    void StartButtonClick();
    void StopButtonClick();
    void OpenFileButtonClick();
    void SaveButtonClick();
    void CopyButtonClick();
    void ClearButtonClick();
    void RefreshSourcesButtonClick();
    void LanguageChange();
    void BandChange();
    void AutoPitchChange();
    void PitchBoxChange();

    // ----- What the buttons do, without their dialogs -----
    // Decodes from `input` as from the sound input (the tests hand a generated signal here).
    void startInput(std::unique_ptr<cwt::SampleInput> input);
    // Starts decoding the file; false with the reason in the status line.
    bool decodeFile(const QString& path);
    bool saveTextTo(const QString& path, QString* error);
    // Drains the input and decodes what came; the timer calls it.
    void pollInput();

    bool decoding() const { return m_input != nullptr; }
    bool decodingFile() const { return m_file != nullptr; }
    bool korean() const;
    QString text() const;
    QString statusText() const;
    const cwt::ReceiveDecoder* decoder() const { return m_decoder.get(); }
    // Milliseconds between the end of each character's last mark and the moment it was shown,
    // in the input's time: what the decoder waited for, plus what had not yet been polled.
    const std::vector<double>& characterDelaysMs() const { return m_delaysMs; }
    // Replaces the decoder the window makes for each run (tests).
    void setDecoderMaker(cwt::ReceiveDecoderMaker maker) { m_makeDecoder = std::move(maker); }
    void setFileOpener(cwt::SampleFileOpener opener) { m_openFile = std::move(opener); }

    // ----- Controls -----
    QComboBox* SourceBox = nullptr;               // 입력 장치
    QPushButton* RefreshSourcesButton = nullptr;  // 장치 목록 새로 고침
    QPushButton* StartButton = nullptr;           // 해독 시작
    QPushButton* StopButton = nullptr;            // 해독 멈춤
    QPushButton* OpenFileButton = nullptr;        // WAV 파일 열기…
    QRadioButton* EnglishButton = nullptr;        // 영문
    QRadioButton* KoreanButton = nullptr;         // 한글
    QSpinBox* LowBox = nullptr;                   // 대역 하한
    QSpinBox* HighBox = nullptr;                  // 대역 상한
    QCheckBox* AutoPitchBox = nullptr;            // 음높이 자동
    QSpinBox* PitchBox = nullptr;                 // 고른 음높이
    WaterfallView* Waterfall = nullptr;           // 스펙트럼
    QLabel* PitchLabel = nullptr;                 // the pitch decoded
    QLabel* SpeedLabel = nullptr;                 // the speed, WPM
    QLabel* SnrLabel = nullptr;                   // signal to noise, dB
    DecodedTextView* TextView = nullptr;          // 해독한 글
    QPushButton* CopyButton = nullptr;            // 복사
    QPushButton* SaveButton = nullptr;            // 저장…
    QPushButton* ClearButton = nullptr;           // 지우기
    QProgressBar* FileProgress = nullptr;         // 파일 해독 진행
    QLabel* StatusLabel = nullptr;                // what the window does, or what went wrong

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    QWidget* buildInputRow();
    QWidget* buildSettingsRow();
    QWidget* buildReadingsRow();
    QWidget* buildTextButtons();
    void connectHandlers();
    void NameControlsForScreenReaders();
    void OrderControlsForKeyboard();

    void loadChoices();
    void saveChoices();
    void fillSources(const QString& wanted);
    QString chosenSource() const;

    cwt::ReceiveSettings settings() const;
    void startDecoder(int rateHz);
    void feed(std::span<const float> samples);
    void takeText();
    void refreshReadings();
    void endDecoding(const QString& status);
    void checkInput();
    void decodeFilePiece();
    void finishFile();
    void setStatus(const QString& text);
    void setRunning(bool running);

    std::unique_ptr<cwt::ProgressStore> m_store;
    std::unique_ptr<cwt::PulseInput> m_pulse;
    std::unique_ptr<cwt::SampleInput> m_ownInput;  // an input handed in by startInput
    cwt::SampleInput* m_input = nullptr;           // the input being decoded
    std::unique_ptr<cwt::SampleFileReader> m_file;
    std::unique_ptr<cwt::ReceiveDecoder> m_decoder;
    cwt::ReceiveDecoderMaker m_makeDecoder;
    cwt::SampleFileOpener m_openFile;
    long long m_fileFrames = 0;
    long long m_fileRead = 0;
    int m_decoderRateHz = 0;

    QTimer m_pollTimer;
    QTimer m_fileTimer;
    QElapsedTimer m_sinceSamples;  // since the input last gave samples
    bool m_silentInputTold = false;
    QElapsedTimer m_sinceReadings;
    long m_framesShown = 0;
    std::vector<float> m_block;
    std::vector<double> m_delaysMs;
};
