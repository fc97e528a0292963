#pragma once
// What the progress plots of the practice windows share: a chart view named for screen readers,
// a chart cleared to be drawn anew, and a percent axis.

#include <QString>

class QChart;
class QChartView;
class QValueAxis;
class QWidget;

namespace cwt {

// A chart without legend or rounded corners, its title and accessible name `name`.
QChartView* MakeChartView(const QString& name, int minimumHeight, QWidget* parent);

// Removes the chart's series and axes, so it can be drawn anew.
void ClearChart(QChart* chart);

// A 0 to 100 % axis on the chart's left.
QValueAxis* AddPercentAxis(QChart* chart);

}  // namespace cwt
