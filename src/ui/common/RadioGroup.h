#pragma once
// A captioned group of radio buttons laid out in columns, with one chosen item, like the
// radio groups of the main window's settings band ("음 종류", "배수", "무작위 5문자 생성").
// Tab stops once in the group, at the chosen item; the arrows move the choice.

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;

class RadioGroup : public QGroupBox {
    Q_OBJECT

public:
    RadioGroup(const QString& caption, const QStringList& items, int columns,
               QWidget* parent = nullptr);

    int itemIndex() const;
    // Chooses an item without emitting `itemClicked`; -1 chooses none.
    void setItemIndex(int index);
    int count() const { return m_items.size(); }
    QString itemCaption(int index) const { return m_items.value(index); }

    // Takes `rect`, grown where the items need more room to stand apart (larger fonts,
    // scaling).
    void place(const QRect& rect);

    // Whether the operator's last hand on the group was on the keyboard (arrows, Space)
    // rather than the mouse: a choice made from the keyboard keeps the focus in the group, so
    // the arrows can go on.
    bool lastChoiceByKeyboard() const { return m_byKeyboard; }

signals:
    // The user chose an item (click or keyboard).
    void itemClicked(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QStringList m_items;
    QButtonGroup* m_buttons = nullptr;
    bool m_byKeyboard = false;
};
