#include "components/VelAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSplitterHandle>
#include <QTextDocumentFragment>

#include "components/VelSpeedButton.h"

namespace cwt {
namespace {

constexpr char kLinkProperty[] = "cwtLink";

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
        if (IsLink()) return QAccessible::Link;
        // A label that shows only a picture (the code picture) is a graphic.
        if (label()->text().isEmpty() && !label()->pixmap().isNull()) return QAccessible::Graphic;
        return QAccessible::StaticText;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (IsLink() && widget()->isEnabled()) names << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        if (actionName == pressAction() && IsLink()) {
            // Like a button's press: from the event loop, after the caller has its answer.
            QLabel* link = label();
            QMetaObject::invokeMethod(
                link, [link] { emit link->linkActivated(link->text()); }, Qt::QueuedConnection);
            return;
        }
        QAccessibleWidget::doAction(actionName);
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
    bool IsLink() const { return label()->property(kLinkProperty).toBool(); }
};

// Qt's push buttons, check boxes and radio buttons and the line-style speed button (a button,
// a toggle when checkable, named by its caption), as Qt presents them, except that every
// action clicks: Qt's own toggle action only flips the check, so a handler connected to the
// click (the record button, a radio group's choice) would never hear of it.
class ButtonAccessible : public QAccessibleWidget {
public:
    explicit ButtonAccessible(QAbstractButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QAccessible::Role role() const override {
        if (qobject_cast<QRadioButton*>(button())) return QAccessible::RadioButton;
        if (qobject_cast<QCheckBox*>(button())) return QAccessible::CheckBox;
        if (auto* push = qobject_cast<QPushButton*>(button()); push && push->menu())
            return QAccessible::ButtonMenu;
        if (button()->isCheckable())
            return button()->autoExclusive() ? QAccessible::RadioButton : QAccessible::CheckBox;
        return QAccessible::Button;
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) {
            const QString name = widget()->accessibleName();
            if (!name.isEmpty()) return name;
            QString caption = button()->text();
            return caption.remove(QLatin1Char('&'));
        }
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = button()->isCheckable();
        state.checked = button()->isChecked();
        if (auto* box = qobject_cast<QCheckBox*>(button()))
            state.checkStateMixed = box->checkState() == Qt::PartiallyChecked;
        state.pressed = button()->isDown();
        if (auto* push = qobject_cast<QPushButton*>(button())) {
            state.defaultButton = push->isDefault();
            state.hasPopup = push->menu() != nullptr;
        }
        return state;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled()) {
            if (role() == QAccessible::ButtonMenu)
                names << showMenuAction();
            else
                names << (button()->isCheckable() ? toggleAction() : pressAction());
        }
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        if (!widget()->isEnabled()) return;
        if (actionName == showMenuAction()) {
            if (auto* push = qobject_cast<QPushButton*>(button())) push->showMenu();
        } else if (actionName == pressAction() || actionName == toggleAction()) {
            // From the event loop, as a click of the operator: the handler may run a whole
            // send, and the screen reader has its answer first.
            button()->animateClick();
        } else {
            QAccessibleWidget::doAction(actionName);
        }
    }

    QStringList keyBindingsForAction(const QString& actionName) const override {
        if (actionName == pressAction() || actionName == toggleAction())
            return {QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(actionName);
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

// A slider whose value reads the way it looks: on a slider drawn upside down (the volume
// bars, whose top is their minimum position) the value is counted from the other end, so
// that higher means louder to a screen reader as it does on the screen.
class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderAccessible(QAbstractSlider* slider)
        : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) return QString::number(Shown(slider()->value()));
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return Shown(slider()->value()); }
    void setCurrentValue(const QVariant& value) override {
        slider()->setValue(Shown(value.toInt()));  // the mapping is its own inverse
    }
    QVariant maximumValue() const override { return slider()->maximum(); }
    QVariant minimumValue() const override { return slider()->minimum(); }
    QVariant minimumStepSize() const override { return slider()->singleStep(); }

private:
    QAbstractSlider* slider() const { return static_cast<QAbstractSlider*>(widget()); }
    int Shown(int position) const {
        if (!slider()->invertedAppearance()) return position;
        return slider()->maximum() + slider()->minimum() - position;
    }
};

// A plain QWidget made a window of its own (Qt::Window) is announced as a window, or as a
// dialog when its flags make it one, named by its title. Qt presents every plain QWidget as a
// client area ("filler" to AT-SPI), which screen readers do not announce as a window at all.
// The role is asked each time: a widget may become a window, or stop being one, after its
// interface was made.
class WindowAccessible : public QAccessibleWidget {
public:
    explicit WindowAccessible(QWidget* widget) : QAccessibleWidget(widget) {}

    QAccessible::Role role() const override {
        if (!widget()->isWindow()) return QAccessibleWidget::role();
        return widget()->windowType() == Qt::Dialog ? QAccessible::Dialog : QAccessible::Window;
    }
};

QAccessibleInterface* VelAccessibleFactory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    if (className == QLatin1String(TVelSpeedButton::staticMetaObject.className()))
        return new ButtonAccessible(static_cast<QAbstractButton*>(object));
    // Asked for every label, TVelLabel included, whose class chain reaches QLabel.
    if (className == QLatin1String(QLabel::staticMetaObject.className()))
        return new LabelAccessible(static_cast<QLabel*>(object));
    // A splitter's handle is a separator between the two panes (Qt gives it no role).
    if (className == QLatin1String(QSplitterHandle::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Separator);
    if (className == QLatin1String(QSlider::staticMetaObject.className()))
        return new SliderAccessible(static_cast<QAbstractSlider*>(object));
    // Asked for every widget whose own classes have no interface; QDialog and QMainWindow have
    // theirs already (dialog and window).
    if (className == QLatin1String(QWidget::staticMetaObject.className()))
        return new WindowAccessible(static_cast<QWidget*>(object));
    for (const QMetaObject* buttonClass :
         {&QPushButton::staticMetaObject, &QCheckBox::staticMetaObject,
          &QRadioButton::staticMetaObject}) {
        if (className == QLatin1String(buttonClass->className()))
            return new ButtonAccessible(static_cast<QAbstractButton*>(object));
    }
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

void MarkAsLink(QLabel* label) { label->setProperty(kLinkProperty, true); }

void SetLabelText(QLabel* label, const QString& text) {
    const QString before = label->text();
    label->setText(text);
    // A label that takes the focus keeps its text in a text document, which reports its
    // changes itself.
    if (label->focusPolicy() == Qt::NoFocus) AnnounceTextChange(label, before, text);
}

}  // namespace cwt
