// The sending-practice window's sidetone: a stream of its own with the main window's tone, open
// while the window is shown, so that the first dit of a stretch sounds in full. The keyer's
// thread hands it every edge directly; the GUI thread only opens, closes and reports it.

#include <QLabel>

#include "components/VelAccessible.h"
#include "sound/sidetone/Sidetone.h"
#include "ui/common/SendPort.h"
#include "ui/sending/SendingPracticeWindow.h"

// Called on the keyer's thread with every edge; the sidetone takes edges from any thread without
// a lock, and ignores them while it is closed. It is a child of this window and outlives the
// keyer, which the window ends first.
cwt::LiveKeyerCore::EdgeSink SendingPracticeWindow::sidetoneSink() {
    cwt::Sidetone* sidetone = m_sidetone;
    return [sidetone](const cwt::keyer::KeyEdge& edge) { sidetone->edge(edge); };
}

void SendingPracticeWindow::makeSidetone() {
    m_sidetone = new cwt::Sidetone(this);
    connect(m_sidetone, &cwt::Sidetone::ready, this, [this] { showSidetoneState(); });
    connect(m_sidetone, &cwt::Sidetone::failed, this, [this] { showSidetoneState(); });
}

void SendingPracticeWindow::openSidetone() {
    if (!m_sidetone->isOpen()) m_sidetone->open(m_sender.codeSettings().tone);
    showSidetoneState();
}

// The main window's tone may have changed since the window opened: each start takes it anew.
// A sidetone that failed (the server went away and came back) is opened again.
void SendingPracticeWindow::refreshSidetone() {
    if (m_sidetone->isOpen())
        m_sidetone->setTone(m_sender.codeSettings().tone);
    else
        openSidetone();
}

void SendingPracticeWindow::closeSidetone() { m_sidetone->close(); }

// How often so far the sidetone did not sound as keyed: an edge came after its moment, the
// stream ran dry and its timing moved, or the server lost its sound. A busy computer does this.
int SendingPracticeWindow::sidetoneDisturbances() const {
    const cwt::SidetoneFigures figures = m_sidetone->figures();
    return figures.lateEdges + figures.clockJumps + figures.dropouts;
}

void SendingPracticeWindow::markSidetoneStretch() {
    m_disturbancesAtStretch = sidetoneDisturbances();
}

void SendingPracticeWindow::showSidetoneState() {
    QString text;
    if (!m_sidetone->errorText().isEmpty())
        text = QStringLiteral("사이드톤이 나지 않습니다: %1. 키잉 시작을 누르면 다시 엽니다.")
                   .arg(m_sidetone->errorText());
    else if (m_sidetone->isReady())
        text = QStringLiteral("사이드톤: %1, 지연 %2 ms.")
                   .arg(m_sidetone->pathName())
                   .arg(m_sidetone->figures().latencyNs / 1e6, 0, 'f', 1);
    else if (m_sidetone->isOpen())
        text = QStringLiteral("사이드톤을 준비하는 중입니다.");
    cwt::SetLabelText(SidetoneLabel, text);
}

// After a stretch: whether the operator heard every element as keyed.
void SendingPracticeWindow::showSidetoneStretch() {
    showSidetoneState();
    if (!m_sidetone->isReady()) return;
    const int disturbed = sidetoneDisturbances() - m_disturbancesAtStretch;
    cwt::SetLabelText(SidetoneLabel,
                      SidetoneLabel->text() + QLatin1Char(' ') +
                          (disturbed == 0 ? QStringLiteral("이번 키잉의 사이드톤은 고르게 "
                                                           "났습니다.")
                                          : QStringLiteral("이번 키잉에서 사이드톤이 %1번 "
                                                           "끊기거나 밀렸습니다(컴퓨터가 바쁠 "
                                                           "때 생깁니다).")
                                                .arg(disturbed)));
}
