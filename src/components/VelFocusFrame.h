#pragma once
// A dotted frame drawn over a widget that has the keyboard focus but shows none of its own
// (a label that takes the focus, for instance), after the widget's own painting, so the
// frame never changes how the widget looks without the focus.

class QWidget;

namespace cwt {

// From now on `widget` shows the frame while it has the focus. The frame takes the widget's
// text colour and keeps one pixel inside its edge.
void ShowFocusFrame(QWidget* widget);

}  // namespace cwt
