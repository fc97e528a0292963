#include "ui/common/RadioGroup.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QRadioButton>

namespace {

// Room between an item's text and the circle of the item after it, and between rows: without
// it a circle touches the text before it and reads as belonging to it.
constexpr int kItemGapPx = 6;
constexpr int kRowGapPx = 2;

}  // namespace

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, int columns,
                       QWidget* parent)
    : QGroupBox(caption, parent), m_items(items), m_buttons(new QButtonGroup(this)) {
    // The groups of the settings band are small; tight margins keep every item visible.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 0, 1, 1);
    grid->setHorizontalSpacing(kItemGapPx);
    grid->setVerticalSpacing(kRowGapPx);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setStyleSheet(QStringLiteral("QRadioButton { spacing: 2px; }"));
        m_buttons->addButton(button, i);
        button->installEventFilter(this);
        grid->addWidget(button, i / columns, i % columns);
    }
    connect(m_buttons, &QButtonGroup::idClicked, this, &RadioGroup::itemClicked);
}

bool RadioGroup::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::FocusIn: {
            // Tab comes into the group at its chosen item, where the arrows then start.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            QAbstractButton* chosen = m_buttons->checkedButton();
            if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) && chosen &&
                chosen != watched)
                chosen->setFocus(reason);
            break;
        }
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            m_byKeyboard = true;
            break;
        case QEvent::MouseButtonPress:
            m_byKeyboard = false;
            break;
        default:
            break;
    }
    return false;
}

int RadioGroup::itemIndex() const { return m_buttons->checkedId(); }

void RadioGroup::setItemIndex(int index) {
    if (QAbstractButton* button = m_buttons->button(index)) {
        button->setChecked(true);
        return;
    }
    if (QAbstractButton* checked = m_buttons->checkedButton()) {
        m_buttons->setExclusive(false);
        checked->setChecked(false);
        m_buttons->setExclusive(true);
    }
}

void RadioGroup::place(const QRect& rect) {
    // The items decide; a caption may run on over the frame, as the layout's captions do.
    const QSize items = layout()->minimumSize().grownBy(contentsMargins());
    setGeometry(QRect(rect.topLeft(), rect.size().expandedTo(items)));
}
