#pragma once
// The pieces TVelStringGrid is built from on Qt's table view: the model over its cell store,
// the headers that draw the fixed rows and columns, the corner where they cross, the delegate
// that draws data cells, and the in-place editor. Private to the grid.

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QWidget>

namespace cwt {

class TVelStringGrid;

// The data cells (below the fixed rows, right of the fixed columns) as a table model.
class VelGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit VelGridModel(TVelStringGrid* grid);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // The titles of the fixed rows and columns, for screen readers (the headers draw the
    // fixed cells themselves).
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The grid changes its sizes between these calls.
    void beginRows(int first, int last, bool insert);
    void endRows(bool insert);
    void beginColumns(int first, int last, bool insert);
    void endColumns(bool insert);
    void beginReset() { beginResetModel(); }
    void endReset() { endResetModel(); }
    void cellChanged(const QModelIndex& index) { emit dataChanged(index, index); }
    void flagsChanged();

private:
    TVelStringGrid* m_grid;
};

// Draws the fixed rows over the data columns (horizontal) or the fixed columns beside the
// data rows (vertical); each section is one data column or row.
class VelGridHeader : public QHeaderView {
    Q_OBJECT

public:
    VelGridHeader(Qt::Orientation orientation, TVelStringGrid* grid);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TVelStringGrid* m_grid;
};

// The fixed cells where the fixed rows and columns cross.
class VelGridCorner : public QWidget {
    Q_OBJECT

public:
    explicit VelGridCorner(TVelStringGrid* grid);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TVelStringGrid* m_grid;
};

class VelGridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit VelGridDelegate(TVelStringGrid* grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TVelStringGrid* m_grid;
};

// The in-place editor: typed characters go through the grid's case conversion, number
// filter and length limit; every change reaches the cell at once.
class TInplaceEdit : public QLineEdit {
    Q_OBJECT

public:
    TInplaceEdit(TVelStringGrid* grid, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // The room the length limit leaves for typed characters; -1 for no limit.
    int roomForTyping() const;

    TVelStringGrid* m_grid;
};

}  // namespace cwt
