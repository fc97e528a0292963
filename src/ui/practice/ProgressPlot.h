#pragma once
// The copy-practice progress plot: the score of every session over time, with the pass line,
// and the accuracy of every character as bars. Each chart also says what it shows in words,
// as its accessible description, for those who cannot see it.

#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "engine/practice/CopyScore.h"

class QChartView;

namespace cwt {
struct ScorePoint;
}

class ProgressPlot : public QWidget {
    Q_OBJECT

public:
    explicit ProgressPlot(QWidget* parent = nullptr);

    // The sessions of one course, oldest first.
    void showScores(const std::vector<cwt::ScorePoint>& points);
    // Every character of `order` that has been sent, in that order.
    void showAccuracy(std::u16string_view order,
                      const std::map<char16_t, cwt::SymbolTally>& totals);

    QChartView* ScoreChart = nullptr;     // 점수 그래프
    QChartView* AccuracyChart = nullptr;  // 글자별 정확도 그래프
};
