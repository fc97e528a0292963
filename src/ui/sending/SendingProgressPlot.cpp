#include "ui/sending/SendingProgressPlot.h"

#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "store/ProgressStore.h"
#include "ui/common/ChartParts.h"

namespace {

constexpr int kChartHeight = 240;

int Percent(double share) { return static_cast<int>(std::lround(share)); }

}  // namespace

SendingProgressPlot::SendingProgressPlot(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    Chart = cwt::MakeChartView(QStringLiteral("송신 연습 그래프"), kChartHeight, this);
    Chart->chart()->legend()->show();
    Chart->chart()->legend()->setAlignment(Qt::AlignBottom);
    row->addWidget(Chart);
    showHistory({});
}

void SendingProgressPlot::showHistory(const std::vector<cwt::SendingPoint>& points) {
    QChart* chart = Chart->chart();
    cwt::ClearChart(chart);
    auto* accuracy = new QLineSeries;
    accuracy->setName(QStringLiteral("글 정확도"));
    auto* fist = new QLineSeries;
    fist->setName(QStringLiteral("손 점수"));
    fist->setPen(QPen(QColor(0xD0, 0x70, 0x10), 2));
    const size_t first = points.size() > kShownSessions ? points.size() - kShownSessions : 0;
    for (size_t i = first; i < points.size(); ++i) {
        const auto x = static_cast<qreal>(i + 1);
        if (points[i].accuracy) accuracy->append(x, *points[i].accuracy * 100);
        if (points[i].fistScore) fist->append(x, *points[i].fistScore);
    }
    chart->addSeries(accuracy);
    chart->addSeries(fist);
    auto* sessions = new QValueAxis;
    sessions->setRange(static_cast<qreal>(first + 1),
                       static_cast<qreal>(std::max<size_t>(points.size(), first + 2)));
    sessions->setLabelFormat("%d");
    sessions->setTickCount(std::clamp<int>(static_cast<int>(points.size() - first), 2, 7));
    sessions->setTitleText(QStringLiteral("연습 회차"));
    chart->addAxis(sessions, Qt::AlignBottom);
    QValueAxis* percent = cwt::AddPercentAxis(chart);
    for (QLineSeries* series : {accuracy, fist}) {
        series->setPointsVisible(true);
        series->attachAxis(sessions);
        series->attachAxis(percent);
    }

    QString summary = QStringLiteral("송신 연습 %1회").arg(points.size());
    if (!points.empty()) {
        const cwt::SendingPoint& last = points.back();
        if (last.fistScore)
            summary += QStringLiteral(", 마지막 손 점수 %1").arg(Percent(*last.fistScore));
        if (last.accuracy)
            summary += QStringLiteral(", 마지막 글 정확도 %1%").arg(Percent(*last.accuracy * 100));
        summary += QStringLiteral(", 마지막 속도 %1 WPM").arg(last.measuredWpm, 0, 'f', 1);
    }
    Chart->setAccessibleDescription(summary);
}
