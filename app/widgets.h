// Small widgets the window needs beyond Qt's: the Activity log list, labels that take gestures from the
// mouse and the keyboard, and the scroll area that holds the sheet.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollArea>

namespace zeze {

// Lets screen readers meet gesture labels as buttons and combo boxes by their accessible names. Runs once
// however often it is called; must run before a screen reader first asks about those widgets.
void installAccessibleInterfaces();

// The Activity log: lines are appended at the end, trimmed from the top, and all cleared by the
// release of any mouse button over the list, or by Delete from the keyboard.
class ActivityLog : public QListWidget {
    Q_OBJECT
  public:
    static constexpr int kMaxLines = 25;
    // Lines shown without scrolling at the window's smallest; a taller window shows more.
    static constexpr int kShownLines = 6;
    using QListWidget::QListWidget;

    void append(const QString& line);
    // Keeps the newest kMaxLines lines and brings the last into view with nothing left selected.
    void trim();
    QStringList lines() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// A label that reports a click (left press and release over it) and every mouse press with its button.
// It takes the focus from Tab (never from a click, so the mouse moves no focus), and then Space does what
// the left button does and Shift+Space what the right button does. Screen readers see it as a button.
class GestureLabel : public QLabel {
    Q_OBJECT
  public:
    explicit GestureLabel(const QString& text = QString(), QWidget* parent = nullptr);

    // What a press of `button` does, followed for the left button by the click it completes.
    void activate(Qt::MouseButton button);

    // QLabel gives a label that takes the focus a rich-text document of its own, laid out again at every
    // change of text, font or size while a window opens. Called once the label's place in the tab order
    // is set (which needs it to take the focus), this keeps it from taking the focus until it is first
    // shown; nothing can be tabbed to before then, and the tab order stays.
    void takeFocusOnceShown();

  signals:
    void clicked();
    void pressed(Qt::MouseButton button);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    bool m_leftDown = false;
    bool m_focusOnceShown = false;
};

// The read-only box that shows the connection state. Screen readers meet it as a status bar named by its
// label, whose value is the state, and hear each change of the state (not every tick that repeats it).
class StateBox : public QLineEdit {
    Q_OBJECT
  public:
    using QLineEdit::QLineEdit;
    void showState(const QString& state);
};

// A pin's command box: an editable combo box (its list is always empty) drawn without the drop-down
// arrow, so its text takes the whole box. Left, it shows its command from the first byte; its tooltip is
// the whole command. It asks for the width of kPreferredBytes bytes; it can shrink to
// kLeastBytes.
class CommandBox : public QComboBox {
    Q_OBJECT
  public:
    static constexpr int kPreferredBytes = 16;
    static constexpr int kLeastBytes = 4;
    // `emptyTip`: the tooltip while the box is empty.
    explicit CommandBox(const QString& emptyTip, QWidget* parent = nullptr);
    void showPopup() override {}
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The width of the box that shows `bytes` whole bytes of a command.
    int widthForBytes(int bytes) const;

  protected:
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void textShown(const QString& text);
    QString m_emptyTip;
};

// A scroll area that asks for the whole of its content, so the window opens showing all of it where the
// screen has room and never grows taller than it; smaller, it scrolls.
class SheetScrollArea : public QScrollArea {
    Q_OBJECT
  public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override;
    // Never narrower than the sheet at its narrowest beside the vertical scroll bar: it scrolls down only.
    QSize minimumSizeHint() const override;

  protected:
    // Changes of the content's size (lists filled, the style settled on first show) reach the window's
    // layout through this.
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace zeze
