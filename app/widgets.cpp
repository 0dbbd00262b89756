#include "app/widgets.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace zeze {
namespace {

// A gesture label as a screen reader should meet it: a button named by its accessible name (or its
// caption) whose press action is the left-button gesture.
class GestureLabelAccessible : public QAccessibleWidget {
  public:
    explicit GestureLabelAccessible(GestureLabel* label) : QAccessibleWidget(label, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        QString result = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && result.isEmpty())
            result = label()->text();
        return result;
    }
    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << pressAction(); }
    void doAction(const QString& name) override {
        if (name == pressAction())
            label()->activate(Qt::LeftButton);
        else
            QAccessibleWidget::doAction(name);
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        if (name == pressAction())
            return {QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(name);
    }

  private:
    GestureLabel* label() const { return static_cast<GestureLabel*>(widget()); }
};

// Qt on Linux gives a combo box its shown text as name and leaves the label to a relation, so a speed
// box is read as "38400" alone. A combo box with an accessible name is read by that name here, its text
// as its value; one without keeps Qt's way. Children and actions are those Qt gives a combo box.
class NamedComboAccessible : public QAccessibleWidget {
  public:
    explicit NamedComboAccessible(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return combo()->currentText();
        QString result = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && result.isEmpty())
            result = combo()->currentText();
        return result;
    }
    int childCount() const override { return combo()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(combo()->view());
        if (index == 1 && combo()->isEditable())
            return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child->object() == combo()->view())
            return 0;
        if (combo()->isEditable() && child->object() == combo()->lineEdit())
            return 1;
        return -1;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& name) override {
        if (name != showMenuAction() && name != pressAction())
            return;
        if (combo()->view()->isVisible())
            combo()->hidePopup();
        else
            combo()->showPopup();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }
};

// The connection state as a status bar: its name the box's accessible name, its value the state.
class StateBoxAccessible : public QAccessibleWidget {
  public:
    explicit StateBoxAccessible(StateBox* box) : QAccessibleWidget(box, QAccessible::StatusBar) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return static_cast<StateBox*>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override {
        QAccessible::State result = QAccessibleWidget::state();
        result.readOnly = true;
        return result;
    }
};

QAccessibleInterface* windowAccessible(const QString& className, QObject* object) {
    if (object == nullptr)
        return nullptr;
    if (className == QLatin1String(GestureLabel::staticMetaObject.className()))
        return new GestureLabelAccessible(static_cast<GestureLabel*>(object));
    if (className == QLatin1String(StateBox::staticMetaObject.className()))
        return new StateBoxAccessible(static_cast<StateBox*>(object));
    if (className == QLatin1String("QComboBox"))
        return new NamedComboAccessible(static_cast<QComboBox*>(object));
    return nullptr;
}

}  // namespace

void installAccessibleInterfaces() {
    static const bool installed = [] {
        QAccessible::installFactory(windowAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

void ActivityLog::append(const QString& line) {
    addItem(line);
}

void ActivityLog::trim() {
    while (count() > kMaxLines)
        delete takeItem(0);
    if (count() > 0) {
        setCurrentRow(count() - 1);
        scrollToItem(item(count() - 1));
        clearSelection();
        setCurrentRow(-1);
    }
}

QStringList ActivityLog::lines() const {
    QStringList result;
    for (int i = 0; i < count(); ++i)
        result << item(i)->text();
    return result;
}

QSize ActivityLog::sizeHint() const {
    return {QListWidget::sizeHint().width(), fontMetrics().height() * kShownLines + 8};
}

QSize ActivityLog::minimumSizeHint() const {
    return {QListWidget::minimumSizeHint().width(), sizeHint().height()};
}

void ActivityLog::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    clear();
}

void ActivityLog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        clear();
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

GestureLabel::GestureLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    installAccessibleInterfaces();
    setFocusPolicy(Qt::TabFocus);
}

void GestureLabel::takeFocusOnceShown() {
    setFocusPolicy(Qt::NoFocus);
    m_focusOnceShown = true;
}

void GestureLabel::showEvent(QShowEvent* event) {
    QLabel::showEvent(event);
    if (m_focusOnceShown) {
        m_focusOnceShown = false;
        setFocusPolicy(Qt::TabFocus);
    }
}

void GestureLabel::activate(Qt::MouseButton button) {
    emit pressed(button);
    if (button == Qt::LeftButton)
        emit clicked();
}

void GestureLabel::mousePressEvent(QMouseEvent* event) {
    m_leftDown = event->button() == Qt::LeftButton;
    emit pressed(event->button());
    event->accept();
}

void GestureLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        m_leftDown && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_leftDown = false;
    event->accept();
    if (click)
        emit clicked();
}

void GestureLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        // A held key repeats nothing: one press is one gesture, as with the mouse.
        const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
        if (!event->isAutoRepeat() && modifiers == Qt::NoModifier)
            activate(Qt::LeftButton);
        else if (!event->isAutoRepeat() && modifiers == Qt::ShiftModifier)
            activate(Qt::RightButton);
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

void GestureLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    // A label draws no focus of its own; without this the keyboard user cannot see where Space acts.
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.backgroundColor = palette().color(backgroundRole());
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

void StateBox::showState(const QString& state) {
    if (state == text())
        return;
    setText(state);
    QAccessibleValueChangeEvent event(this, state);
    QAccessible::updateAccessibility(&event);
}

QSize SheetScrollArea::sizeHint() const {
    const int frame = 2 * frameWidth();
    if (widget() == nullptr)
        return {frame, frame};
    // As narrow as the sheet can be without scrolling (the window's width of old), as tall as all of it.
    const QSize content(widget()->minimumSizeHint().width(),
                        std::max(widget()->sizeHint().height(), widget()->minimumSizeHint().height()));
    return content + QSize(frame, frame);
}

bool SheetScrollArea::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QScrollArea::eventFilter(watched, event);
}

}  // namespace zeze
