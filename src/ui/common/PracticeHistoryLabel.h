#pragma once
// The line at the foot of the practice windows that says where the practice history is kept, or
// why this run's sessions stay in memory only. GUI thread only.

class QLabel;
class QWidget;

namespace cwt {

class ProgressStore;

// A wrapping label whose text the operator can select, to copy the history file's path.
QLabel* MakeHistoryLabel(QWidget* parent);

// Tells where `store` keeps the history: a damaged file it moved aside first, then its path, or
// what keeps it from writing and that practice goes on regardless.
void ShowHistoryState(QLabel* label, const ProgressStore& store);

}  // namespace cwt
