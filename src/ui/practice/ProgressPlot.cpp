#include "ui/practice/ProgressPlot.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>

#include "engine/practice/CopyScore.h"
#include "store/ProgressStore.h"
#include "ui/common/ChartParts.h"

namespace {

constexpr int kChartHeight = 210;

int Percent(double share) { return static_cast<int>(share * 100 + 1e-9); }

}  // namespace

ProgressPlot::ProgressPlot(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    ScoreChart = cwt::MakeChartView(QStringLiteral("점수 그래프"), kChartHeight, this);
    AccuracyChart = cwt::MakeChartView(QStringLiteral("글자별 정확도 그래프"), kChartHeight, this);
    row->addWidget(ScoreChart, 1);
    row->addWidget(AccuracyChart, 1);
    showScores({});
    showAccuracy(u"", {});
}

void ProgressPlot::showScores(const std::vector<cwt::ScorePoint>& points) {
    QChart* chart = ScoreChart->chart();
    cwt::ClearChart(chart);
    auto* line = new QLineSeries;
    auto* dots = new QScatterSeries;
    dots->setMarkerSize(7);
    auto* pass = new QLineSeries;  // the pass mark
    pass->setPen(QPen(QColor(0x2E, 0x8B, 0x57), 1, Qt::DashLine));
    for (const cwt::ScorePoint& point : points) {
        const auto x = static_cast<qreal>(point.when.toMSecsSinceEpoch());
        line->append(x, point.score * 100);
        dots->append(x, point.score * 100);
    }
    // The time axis spans the sessions, and at least an hour around a single one.
    QDateTime first = points.empty() ? QDateTime::currentDateTime() : points.front().when;
    QDateTime last = points.empty() ? first : points.back().when;
    if (first.secsTo(last) < 3600) {
        first = first.addSecs(-1800);
        last = last.addSecs(1800);
    }
    pass->append(static_cast<qreal>(first.toMSecsSinceEpoch()), cwt::kPassPercent);
    pass->append(static_cast<qreal>(last.toMSecsSinceEpoch()), cwt::kPassPercent);
    for (QXYSeries* series : std::initializer_list<QXYSeries*>{pass, line, dots})
        chart->addSeries(series);
    auto* time = new QDateTimeAxis;
    time->setFormat(first.daysTo(last) >= 2 ? "MM-dd" : "HH:mm");
    time->setTickCount(5);
    time->setRange(first.toLocalTime(), last.toLocalTime());
    chart->addAxis(time, Qt::AlignBottom);
    QValueAxis* percent = cwt::AddPercentAxis(chart);
    for (QXYSeries* series : std::initializer_list<QXYSeries*>{pass, line, dots}) {
        series->attachAxis(time);
        series->attachAxis(percent);
    }

    QString summary = QStringLiteral("연습 %1회").arg(points.size());
    if (!points.empty()) {
        const auto best =
            std::max_element(points.begin(), points.end(),
                             [](const auto& a, const auto& b) { return a.score < b.score; });
        summary += QStringLiteral(", 마지막 점수 %1%, 최고 %2%")
                       .arg(Percent(points.back().score))
                       .arg(Percent(best->score));
    }
    ScoreChart->setAccessibleDescription(summary);
}

void ProgressPlot::showAccuracy(std::u16string_view order,
                                const std::map<char16_t, cwt::SymbolTally>& totals) {
    QChart* chart = AccuracyChart->chart();
    cwt::ClearChart(chart);
    auto* bars = new QBarSet(QStringLiteral("정확도"));
    QStringList symbols;
    QStringList spoken;
    for (char16_t symbol : order) {
        const auto found = totals.find(symbol);
        if (found == totals.end() || found->second.sent == 0) continue;
        const double share = static_cast<double>(found->second.correct) / found->second.sent;
        *bars << share * 100;
        symbols << QString(QChar(symbol));
        spoken << QStringLiteral("%1 %2%").arg(QChar(symbol)).arg(Percent(share));
    }
    auto* series = new QBarSeries;
    series->append(bars);
    chart->addSeries(series);
    auto* axis = new QBarCategoryAxis;
    axis->append(symbols.isEmpty() ? QStringList{QString()} : symbols);
    chart->addAxis(axis, Qt::AlignBottom);
    series->attachAxis(axis);
    series->attachAxis(cwt::AddPercentAxis(chart));
    AccuracyChart->setAccessibleDescription(
        spoken.isEmpty() ? QStringLiteral("아직 보낸 글자가 없습니다") : spoken.join(", "));
}
