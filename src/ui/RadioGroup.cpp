#include "ui/RadioGroup.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, int columns,
                       QWidget* parent)
    : QGroupBox(caption, parent), m_items(items), m_buttons(new QButtonGroup(this)) {
    // The groups of the settings band are small; tight margins keep every item visible.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 0, 1, 1);
    grid->setHorizontalSpacing(0);
    grid->setVerticalSpacing(0);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setStyleSheet(QStringLiteral("QRadioButton { spacing: 2px; }"));
        m_buttons->addButton(button, i);
        grid->addWidget(button, i / columns, i % columns);
    }
    connect(m_buttons, &QButtonGroup::idClicked, this, &RadioGroup::itemClicked);
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
