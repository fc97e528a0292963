#pragma once
// What screen readers get from the program's controls beyond Qt's standard interfaces.
//
// - Every QLabel (TVelLabel included) offers its caption as read-only text, so a label that
//   carries a fixed accessible name ("송신 문자") still tells what it shows ("A").
// - TVelSpeedButton is a button with its caption as name, its hint as description and a press
//   action that returns at once: the click runs after the caller has its answer, so a screen
//   reader is not held until the sign has sounded.
// - Push buttons, check boxes and radio buttons keep Qt's presentation, but their press and
//   toggle actions click, as the operator would, so the handlers connected to the click run.
// - A slider drawn upside down (minimum at the top) reads its value from the other end, so a
//   higher bar reads as a higher value.
// - A widget that is a window of its own is announced as a window (or a dialog) with its
//   title, as a main window or a QDialog is.
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

// Presents a label that opens something when clicked as a link: its press action emits the
// label's linkActivated with its text, which the owner connects to what the click does.
void MarkAsLink(QLabel* label);

// Sets a label's caption and announces the change (a label that takes the focus announces
// its own changes: Qt keeps its text in a text document then).
void SetLabelText(QLabel* label, const QString& text);

}  // namespace cwt
