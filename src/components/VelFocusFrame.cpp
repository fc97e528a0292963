#include "components/VelFocusFrame.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>
#include <QPen>
#include <QWidget>

namespace cwt {
namespace {

class FocusFramePainter : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = static_cast<QWidget*>(watched);
        switch (event->type()) {
            case QEvent::FocusIn:
            case QEvent::FocusOut:
                widget->update();
                return false;
            case QEvent::Paint: {
                if (!widget->hasFocus()) return false;
                // The widget paints first; the frame goes on top, inside the same paint.
                static_cast<QObject*>(widget)->event(event);
                QPainter painter(widget);
                painter.setPen(
                    QPen(widget->palette().color(widget->foregroundRole()), 1, Qt::DotLine));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(widget->rect().adjusted(1, 1, -2, -2));
                return true;
            }
            default:
                return false;
        }
    }
};

}  // namespace

void ShowFocusFrame(QWidget* widget) {
    static auto* painter = new FocusFramePainter(QCoreApplication::instance());
    widget->installEventFilter(painter);
}

}  // namespace cwt
