#pragma once
// The sending practice's progress: for each stretch kept, oldest first, the share of the text
// keyed right and the fist score, as two lines over the stretches (the last 60). The chart says
// the same in words, as its accessible description.

#include <QWidget>
#include <vector>

class QChartView;

namespace cwt {
struct SendingPoint;
}

class SendingProgressPlot : public QWidget {
    Q_OBJECT

public:
    static constexpr int kShownSessions = 60;

    explicit SendingProgressPlot(QWidget* parent = nullptr);

    // The stretches of one course, oldest first.
    void showHistory(const std::vector<cwt::SendingPoint>& points);

    QChartView* Chart = nullptr;  // 송신 연습 그래프
};
