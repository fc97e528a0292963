#include "components/VelAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QTextDocumentFragment>

#include "components/VelSpeedButton.h"

namespace cwt {
namespace {

// The text a label shows, without rich-text markup.
QString PlainCaption(const QLabel* label) {
    const QString text = label->text();
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
    return rich ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

// A label as static text whose caption can be read as text, whatever its name.
class LabelAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit LabelAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::Role role() const override {
        // A label that shows only a picture (the code picture) is a graphic.
        if (label()->text().isEmpty() && !label()->pixmap().isNull()) return QAccessible::Graphic;
        return QAccessible::StaticText;
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) {
            const QString name = widget()->accessibleName();
            return name.isEmpty() ? PlainCaption(label()) : name;
        }
        return QAccessibleWidget::text(kind);
    }

    QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(
        QAccessible::Relation match) const override {
        auto found = QAccessibleWidget::relations(match);
        if ((match & QAccessible::Labelled) && label()->buddy()) {
            if (QAccessibleInterface* buddy =
                    QAccessible::queryAccessibleInterface(label()->buddy()))
                found.append({buddy, QAccessible::Labelled});
        }
        return found;
    }

    // ----- Read-only text: the caption -----
    QString text(int startOffset, int endOffset) const override {
        const QString caption = PlainCaption(label());
        if (endOffset < 0 || endOffset > caption.size()) endOffset = caption.size();
        startOffset = qBound(0, startOffset, endOffset);
        return caption.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return PlainCaption(label()).size(); }
    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    QLabel* label() const { return static_cast<QLabel*>(widget()); }
};

// The line-style speed button: a button (a toggle when checkable) named by its caption.
class SpeedButtonAccessible : public QAccessibleWidget {
public:
    explicit SpeedButtonAccessible(TVelSpeedButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QAccessible::Role role() const override {
        return button()->isCheckable() ? QAccessible::CheckBox : QAccessible::Button;
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) {
            const QString name = widget()->accessibleName();
            if (!name.isEmpty()) return name;
            QString caption = button()->text();
            return caption.remove(QLatin1Char('&'));
        }
        // The description is the hint (QAccessibleWidget falls back to the tool tip).
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.pressed = button()->isDown();
        state.checkable = button()->isCheckable();
        state.checked = button()->isChecked();
        return state;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled())
            names << (button()->isCheckable() ? toggleAction() : pressAction());
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        if (!widget()->isEnabled()) return;
        if (actionName == pressAction() || actionName == toggleAction()) {
            // animateClick clicks from the event loop: the sign is sent after the screen
            // reader has been answered, as for Qt's push buttons.
            button()->animateClick();
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }

    QStringList keyBindingsForAction(const QString& actionName) const override {
        if (actionName == pressAction() || actionName == toggleAction())
            return {QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(actionName);
    }

private:
    TVelSpeedButton* button() const { return static_cast<TVelSpeedButton*>(widget()); }
};

QAccessibleInterface* VelAccessibleFactory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    if (className == QLatin1String(TVelSpeedButton::staticMetaObject.className()))
        return new SpeedButtonAccessible(static_cast<TVelSpeedButton*>(object));
    // Asked for every label, TVelLabel included, whose class chain reaches QLabel.
    if (className == QLatin1String(QLabel::staticMetaObject.className()))
        return new LabelAccessible(static_cast<QLabel*>(object));
    return nullptr;
}

}  // namespace

void InstallVelAccessibility() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(VelAccessibleFactory);
}

void AnnounceTextChange(QObject* object, const QString& before, const QString& after) {
    if (!object || before == after || !QAccessible::isActive()) return;
    // A text event needs a text interface to report; a label made before the install has
    // Qt's own interface, which has none.
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    if (!iface || !iface->textInterface()) return;
    if (before.isEmpty()) {
        QAccessibleTextInsertEvent event(object, 0, after);
        QAccessible::updateAccessibility(&event);
    } else if (after.isEmpty()) {
        QAccessibleTextRemoveEvent event(object, 0, before);
        QAccessible::updateAccessibility(&event);
    } else {
        QAccessibleTextUpdateEvent event(object, 0, before, after);
        QAccessible::updateAccessibility(&event);
    }
}

void SetLabelText(QLabel* label, const QString& text) {
    const QString before = label->text();
    label->setText(text);
    AnnounceTextChange(label, before, text);
}

}  // namespace cwt
