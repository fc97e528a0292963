#pragma once
// The program's windows on a simulated wave device that completes every buffer at once, so
// a whole send runs at full speed inside one click. What reached the "output" is compared
// with what the engine plans for the same text.

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/morse/SendDispatch.h"
#include "sound/CodePlayer.h"
#include "sound/SimulatedWaveDevice.h"
#include "sound/VelWaveCtrl.h"
#include "ui/common/Fonts.h"
#include "ui/main/CW_Tamarik.h"
#include "ui/main/SoundUnit.h"

class MainWindowHarness {
public:
    explicit MainWindowHarness(std::unique_ptr<cwt::SimulatedWaveDevice> device = nullptr) {
        if (!device) device = std::make_unique<cwt::SimulatedWaveDevice>();
        m_device = device.get();
        m_windows = CreateProgramWindows(std::move(device));
        form()->showWarning = [this](const QString&, const QString& text) {
            warnings.push_back(text);
        };
        // Every buffer done passes through here first, so a test can act while it plays.
        m_original = form()->VelWaveCtrl1->OnPlayDone;
        form()->VelWaveCtrl1->OnPlayDone = [this](TVelWaveCtrl* sender, const TWaveHdr* header,
                                                  const uint8_t* buffer) {
            ++doneCount;
            if (onDone) onDone(doneCount);
            m_original(sender, header, buffer);
        };
    }

    TForm1* form() const { return m_windows.Form1.get(); }
    const ProgramWindows& windows() const { return m_windows; }
    cwt::SimulatedWaveDevice& device() const { return *m_device; }

    std::vector<uint8_t> played() const { return m_device->played(); }

    // Shows the window and makes it the active one, as an operator's window is.
    void showActive() {
        form()->show();
        form()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form()));
    }

    // The bytes the wave path plays for these buffers with the window's current settings.
    std::vector<uint8_t> rendered(const std::vector<cwt::PlannedBuffer>& buffers) const {
        std::vector<uint8_t> bytes;
        const cwt::CodeSettings settings = form()->codeSettings();
        for (const auto& buffer : buffers) {
            const auto one = cwt::CodePlayer::Render(buffer.code, buffer.syllableEnd, settings);
            bytes.insert(bytes.end(), one.begin(), one.end());
        }
        return bytes;
    }
    std::vector<uint8_t> renderedCodes(const std::vector<std::string>& codes) const {
        std::vector<cwt::PlannedBuffer> buffers;
        for (const auto& code : codes) buffers.push_back({code, false, 0});
        return rendered(buffers);
    }
    // What pressing Start plays for `text` (code page 949 bytes, already tidied).
    std::vector<uint8_t> plannedSend(std::string_view text, bool marks = false,
                                     bool sentenceEnd = true) const {
        return rendered(cwt::PlanWholeSend(text, {marks, sentenceEnd}));
    }

    void setText(const QString& text) { form()->Memo1->setPlainText(text); }
    void clickStart() { QTest::mouseClick(form()->AutoStartButton, Qt::LeftButton); }

    int doneCount = 0;
    std::function<void(int doneCount)> onDone;
    std::vector<QString> warnings;

private:
    cwt::SimulatedWaveDevice* m_device = nullptr;
    ProgramWindows m_windows;
    TOnPlayDone m_original;
};

// Fonts, and a configuration folder of the test's own (no macro file of the user's), once per
// test program.
inline void InitMainWindowTests() {
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    cwt::InstallFontSubstitutions();
}
