// Undo and redo of the sheet. Every change is kept as the programming before and after it, so a typed
// field, a preset, a gesture, an opened file and a dump read into the sheet are undone alike; the edits
// of one field in a row are one step.
#pragma once

#include <functional>

#include <QUndoStack>

#include "protocol/config_record.h"

namespace zeze {

class SheetHistory {
  public:
    static constexpr int kUndoLimit = 200;
    // No field: a change that merges with nothing.
    static constexpr int kWholeSheet = -1;

    // `restore` writes values into the sheet and shows them, for undo and redo.
    SheetHistory(const ConfigValues& start, std::function<void(const ConfigValues&)> restore);

    QUndoStack& stack() { return m_stack; }

    // Takes `now` as a step when it differs from what was recorded last. A step of `field` (0 or more)
    // joins the step before it when that changed the same field and nothing was saved in between.
    void record(const ConfigValues& now, int field = kWholeSheet);
    // Starts afresh from `values`, with nothing to undo.
    void reset(const ConfigValues& values);
    // The values as they stand are what the file holds.
    void markSaved();
    bool saved() const { return m_stack.isClean(); }

  private:
    friend class SheetStep;
    void restore(const ConfigValues& values);

    QUndoStack m_stack;
    ConfigValues m_recorded;
    std::function<void(const ConfigValues&)> m_restore;
};

}  // namespace zeze
