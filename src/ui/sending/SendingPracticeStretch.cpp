// The sending-practice window reading the keying: the text to key, what was keyed against it as
// it comes, and after each stretch the fist, the timing strip and the session kept.

#include <QLabel>
#include <QSpinBox>
#include <QTextBrowser>
#include <algorithm>

#include "components/VelAccessible.h"
#include "engine/fist/FistAnalysis.h"
#include "engine/sending/SendingScore.h"
#include "rig/KeyingThread.h"
#include "store/ProgressStore.h"
#include "ui/sending/SendingPracticeWindow.h"
#include "ui/sending/SendingProgressPlot.h"
#include "ui/sending/SendingResults.h"
#include "ui/sending/TimingStrip.h"

namespace {

// The key up this many units after the whole text was keyed ends the stretch: the last letter
// has been read, and a word space would have been keyed by now if more were coming.
constexpr int kDoneUnits = 5;
// A long pause ends a stretch: at least this many units, however short pauseMs is.
constexpr int kPauseUnits = 20;

cwt::keyer::KeyTime Now() { return cwt::keyer::KeyTime(cwt::MonotonicNowNs()); }

QString TextKindWords(cwt::SendingTextKind kind) {
    switch (kind) {
        case cwt::SendingTextKind::CallSigns:
            return QStringLiteral("호출부호는 영문 과정에서 연습합니다.");
        case cwt::SendingTextKind::QsoLine:
            return QStringLiteral("교신 한 줄은 영문 과정에서 연습합니다.");
        case cwt::SendingTextKind::Words:
            return QStringLiteral("이 과정에는 단어가 없습니다.");
        default:
            break;
    }
    return QString();
}

}  // namespace

// ----- The text -----

void SendingPracticeWindow::drawTarget() {
    const cwt::SendingTextKind kind = textKind();
    if (kind == cwt::SendingTextKind::Free) {
        m_target.clear();
        cwt::SetLabelText(TargetLabel, QStringLiteral("자유 키잉: 보내는 대로 읽고, 손을 봅니다."));
        return;
    }
    if (cwt::CheckSendingText(course(), lesson(), kind) != cwt::ItemShortage::None) {
        m_target.clear();
        cwt::SetLabelText(TargetLabel, TextKindWords(kind));
        return;
    }
    m_target = cwt::DrawSendingText(course(), lesson(), kind, CountBox->value(), m_random);
    cwt::SetLabelText(TargetLabel, QString::fromStdU16String(m_target));
}

void SendingPracticeWindow::NewTextButtonClick() {
    drawTarget();
    if (m_keying) startStretch();
}

// ----- A stretch -----

void SendingPracticeWindow::startStretch() {
    cwt::decode::DecoderSettings settings;
    settings.korean = course() == cwt::Course::Korean;
    settings.initialUnitMs =
        std::chrono::duration<double, std::milli>(cwt::keyer::KeyerUnit(SpeedBox->value())).count();
    m_stretch = std::make_unique<cwt::KeyedStretch>(settings);
    markSidetoneStretch();
    // A new text shows at once; in free keying the last stretch stays until the next is read.
    if (!m_target.empty()) showDecoded();
}

// Every 20 ms while keying: what has ended is read, and a stretch that is over ends.
void SendingPracticeWindow::tick() {
    checkOnAir();
    if (!m_keying || !m_stretch) return;
    const cwt::keyer::KeyTime now = Now();
    if (m_stretch->advance(now)) showDecoded();
    const std::optional<cwt::keyer::KeyTime> silence = m_stretch->silenceAt(now);
    if (!m_stretch->started() || !silence) return;
    const cwt::keyer::KeyTime unit = cwt::keyer::KeyerUnit(SpeedBox->value());
    const bool done =
        !m_target.empty() && cwt::CompareSending(course(), m_target, m_stretch->text()).complete();
    const cwt::keyer::KeyTime pause =
        std::max<cwt::keyer::KeyTime>(std::chrono::milliseconds(pauseMs), kPauseUnits * unit);
    if ((done && *silence >= kDoneUnits * unit) || *silence >= pause) endStretch(false);
}

void SendingPracticeWindow::showDecoded() {
    if (!m_stretch) return;
    const QString open = QString::fromStdU16String(m_stretch->preedit()).trimmed();
    const std::u16string& keyed = m_stretch->committed();
    if (m_target.empty()) {
        DecodedView->setHtml(KeyedHtml(keyed, open));
        return;
    }
    const cwt::SendingComparison comparison = cwt::CompareSending(course(), m_target, keyed);
    QString html = AlignedHtml(comparison, open);
    const QString errors = ErrorsInWords(comparison);
    if (!errors.isEmpty())
        html += QStringLiteral("<p style='color:#C00000'>틀림: %1</p>").arg(errors.toHtmlEscaped());
    DecodedView->setHtml(html);
}

// The stretch is over: the operator stopped, keyed the whole text, or paused long.
void SendingPracticeWindow::endStretch(bool stopped) {
    if (!m_stretch) return;
    m_stretch->finish(Now());
    const std::u16string keyed = m_stretch->committed();
    if (m_stretch->stretches().empty() || keyed.empty()) {
        // Nothing was keyed: nothing to judge or keep.
        if (m_keying) startStretch();
        return;
    }
    // What was not keyed of the text is not counted: a stretch may end before its end.
    const cwt::SendingComparison comparison = m_target.empty()
                                                  ? cwt::SendingComparison{}
                                                  : cwt::CompareSending(course(), m_target, keyed);
    showDecoded();
    const cwt::keyer::KeyerSettings settings = keyerSettings();
    const bool keyerElements = settings.mode == cwt::keyer::KeyerMode::IambicA ||
                               settings.mode == cwt::keyer::KeyerMode::IambicB ||
                               settings.mode == cwt::keyer::KeyerMode::Ultimatic;
    cwt::fist::FistOptions options;
    options.keyerElements = keyerElements;
    options.course = course();
    // A sign counts as one symbol here as in the comparison shown.
    options.targetText = cwt::SendingSymbols(course(), m_target);
    options.decodedText = cwt::SendingSymbols(course(), keyed);
    const cwt::fist::FistReport report = cwt::fist::AnalyzeFist(m_stretch->stretches(), options);

    QString html;
    if (!m_target.empty()) {
        const QString errors = ErrorsInWords(comparison);
        html += QStringLiteral("<p>%1</p>").arg(AlignedHtml(comparison));
        html += errors.isEmpty() ? QStringLiteral("<p>틀린 글자가 없습니다.</p>")
                                 : QStringLiteral("<p>틀림 %1: %2</p>")
                                       .arg(comparison.errors)
                                       .arg(errors.toHtmlEscaped());
    } else {
        html += KeyedHtml(keyed, QString());
    }
    html += FistHtml(report, keyerElements);
    ResultView->setHtml(html);
    Strip->showStretch(m_stretch->stretches(), report.unitMs, keyerElements);
    showSidetoneStretch();

    cwt::SendingSession session;
    session.when = QDateTime::currentDateTimeUtc();
    session.course = course();
    session.lesson = lesson();
    session.kind = textKind();
    session.mode = settings.mode;
    session.keyerWpm = settings.wpm;
    session.measuredWpm = report.wpm;
    session.target = QString::fromStdU16String(m_target);
    session.keyed = QString::fromStdU16String(keyed);
    session.targetSymbols = comparison.targetSymbols;
    session.comparedSymbols = comparison.comparedSymbols;
    session.keyedSymbols = static_cast<int>(cwt::SendingSymbols(course(), keyed).size());
    session.errors = comparison.errors;
    if (comparison.comparedSymbols > 0)
        session.accuracy = std::max(0, comparison.comparedSymbols - comparison.errors) /
                           static_cast<double>(comparison.comparedSymbols);
    if (report.unitMs > 0) session.fistScore = report.score;
    session.figures = FiguresOf(report);
    m_store->saveSendingSession(session);
    showStoreState();
    Plot->showHistory(m_store->sendingHistory(course()));

    // The next stretch has a text of its own; after Stop the text waits for the next start.
    if (m_keying) {
        if (!stopped) drawTarget();
        startStretch();
    }
    emit stretchEnded();
}
