#include "ui/common/ChartParts.h"

#include <QChart>
#include <QChartView>
#include <QValueAxis>

namespace cwt {

QChartView* MakeChartView(const QString& name, int minimumHeight, QWidget* parent) {
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
    QFont title = chart->titleFont();
    title.setBold(true);
    chart->setTitleFont(title);
    chart->setTitle(name);
    auto* view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(minimumHeight);
    view->setAccessibleName(name);
    return view;
}

void ClearChart(QChart* chart) {
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
}

QValueAxis* AddPercentAxis(QChart* chart) {
    auto* axis = new QValueAxis;
    axis->setRange(0, 100);
    axis->setTickCount(6);
    axis->setLabelFormat("%d%%");
    chart->addAxis(axis, Qt::AlignLeft);
    return axis;
}

}  // namespace cwt
