#include "ui/macros/MacroHotKeys.h"

#include "components/VelStringGrid.h"

namespace {

constexpr int kKeyCol = 1;
constexpr int kDefinitionCol = 2;

}  // namespace

int FindMacroKeyRow(const cwt::TVelStringGrid& table, const QString& name) {
    for (int row = 0; row < table.RowCount(); ++row) {
        if (table.Cells(kKeyCol, row).compare(name, Qt::CaseInsensitive) == 0) return row;
    }
    return -1;
}

MacroHotKeys::MacroHotKeys(MacroHost& host, const cwt::TVelStringGrid* table)
    : m_host(host), m_table(table) {}

QString MacroHotKeys::definitionOf(const QString& name) const {
    if (name.isEmpty() || !m_table) return {};
    const int row = FindMacroKeyRow(*m_table, name);
    if (row < 1) return {};  // the title row or nothing
    return m_table->Cells(kDefinitionCol, row);
}

void MacroHotKeys::FormKeyDown(uint16_t& key, cwt::ShiftState shift) {
    // While a text send runs or is paused, keys are left alone.
    if (m_host.stopButtonEnabled() || !m_attached) return;
    m_attached = false;
    struct Reattach {
        bool& attached;
        ~Reattach() { attached = true; }
    } reattach{m_attached};

    const QString definition = definitionOf(QString::fromLatin1(cwt::MacroKeyName(key, shift)));
    if (definition.isEmpty()) return;
    if (m_host.edit1IsActiveControl()) {
        m_host.setEdit1TextCaretAtEnd(definition);
    } else {
        m_host.setMacroStartPos(m_host.memo1LinesByteLength());
        m_host.appendMemo1Line(definition);
    }
    if (m_host.macroAutoStartChecked()) m_host.autoStartButtonClick();
}
