#pragma once
// The box "About" opens: what the program is, its version and its homepage.

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

// The box's text (rich text; the homepage is a link).
QString AboutText();

// Shows the box, not modal (a send that runs goes on), deleted when it closes. A click on the
// link calls `openUrl` with the address.
QMessageBox* ShowAboutBox(QWidget* parent, std::function<void(const QString& url)> openUrl);
