#include "app/sheet_undo.h"

#include <QUndoCommand>

namespace zeze {

// One step: the values before and after it. It is already done when pushed.
class SheetStep : public QUndoCommand {
  public:
    SheetStep(SheetHistory& history, ConfigValues before, ConfigValues after, int field)
        : m_history(history), m_before(std::move(before)), m_after(std::move(after)), m_field(field) {}

    void undo() override { m_history.restore(m_before); }
    void redo() override {
        if (m_done)
            m_history.restore(m_after);
        m_done = true;
    }
    int id() const override { return m_field; }
    bool mergeWith(const QUndoCommand* other) override {
        if (m_sealed)
            return false;
        m_after = static_cast<const SheetStep*>(other)->m_after;
        return true;
    }
    void seal() { m_sealed = true; }

  private:
    SheetHistory& m_history;
    ConfigValues m_before;
    ConfigValues m_after;
    int m_field;
    bool m_done = false;
    bool m_sealed = false;
};

SheetHistory::SheetHistory(const ConfigValues& start, std::function<void(const ConfigValues&)> restore)
    : m_recorded(start), m_restore(std::move(restore)) {
    m_stack.setUndoLimit(kUndoLimit);
}

void SheetHistory::record(const ConfigValues& now, int field) {
    if (now == m_recorded)
        return;
    ConfigValues before = std::exchange(m_recorded, now);
    m_stack.push(new SheetStep(*this, std::move(before), now, field));
}

void SheetHistory::reset(const ConfigValues& values) {
    m_stack.clear();
    m_recorded = values;
}

void SheetHistory::markSaved() {
    m_stack.setClean();
    // A field typed into after saving starts a step of its own, so undo can return to what was saved.
    if (m_stack.index() > 0)
        static_cast<SheetStep*>(const_cast<QUndoCommand*>(m_stack.command(m_stack.index() - 1)))->seal();
}

void SheetHistory::restore(const ConfigValues& values) {
    m_recorded = values;
    m_restore(values);
}

}  // namespace zeze
