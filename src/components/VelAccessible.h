#pragma once
// What screen readers get from the program's controls beyond Qt's standard interfaces.
//
// - Every QLabel (TVelLabel included) offers its caption as read-only text, so a label that
//   carries a fixed accessible name ("송신 문자") still tells what it shows ("A").
// - TVelSpeedButton is a button with its caption as name, its hint as description and a press
//   action that returns at once: the click runs after the caller has its answer, so a screen
//   reader is not held until the sign has sounded.
// - A caption change is announced as a text change (QLabel itself only announces a change of
//   its name, and none at all when the label has a fixed accessible name).

class QLabel;
class QObject;
class QString;

namespace cwt {

// Installs the interfaces above. Qt keeps the interface it first made for a widget, so the
// program calls this right after creating its QApplication, before any window; the
// components call it as well, so that each of them works on its own.
void InstallVelAccessibility();

// Raises the event a screen reader follows when the text `object` shows went from `before`
// to `after`: the whole old text removed and the whole new one inserted at position 0.
// Nothing happens while no assistive technology listens.
void AnnounceTextChange(QObject* object, const QString& before, const QString& after);

// Sets a label's caption and announces the change.
void SetLabelText(QLabel* label, const QString& text);

}  // namespace cwt
