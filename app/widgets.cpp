#include "app/widgets.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QApplication>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleOptionComboBox>
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

// The style of a command box: the window's own, with the combo box's arrow left out and its room given
// to the text.
class NoArrowComboStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        if (control == CC_ComboBox && sub == SC_ComboBoxArrow)
            return {option->rect.right() + 1, option->rect.top(), 0, option->rect.height()};
        const QRect rect = QProxyStyle::subControlRect(control, option, sub, widget);
        if (control == CC_ComboBox && sub == SC_ComboBoxEditField)
            return rect.adjusted(0, 0, option->rect.right() - rect.right() - (rect.left() - option->rect.left()), 0);
        return rect;
    }
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        if (control == CC_ComboBox) {
            if (const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option)) {
                QStyleOptionComboBox plain(*combo);
                plain.subControls &= ~SC_ComboBoxArrow;
                QProxyStyle::drawComplexControl(control, &plain, painter, widget);
                return;
            }
        }
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
};

// "00 00 ... 00": the text of `bytes` bytes of a command.
QString sampleCommand(int bytes) {
    return QStringLiteral("00 ").repeated(bytes).chopped(1);
}

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

CommandBox::CommandBox(const QString& emptyTip, QWidget* parent) : QComboBox(parent), m_emptyTip(emptyTip) {
    // One style for all command boxes, made once the application's style is known.
    static auto* const style = [] {
        auto* proxy = new NoArrowComboStyle(QApplication::style()->name());
        proxy->setParent(qApp);
        return proxy;
    }();
    setStyle(style);
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // The line edit's own signal: the box's are blocked while the window shows the sheet.
    connect(lineEdit(), &QLineEdit::textChanged, this, &CommandBox::textShown);
    textShown(QString());
}

void CommandBox::textShown(const QString& text) {
    setToolTip(text.isEmpty() ? m_emptyTip : text);
}

void CommandBox::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    lineEdit()->setCursorPosition(0);
}

int CommandBox::widthForBytes(int bytes) const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.rect = QRect(0, 0, 1000, 30);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const QMargins text = lineEdit()->textMargins();
    // The line edit keeps two pixels either side of its text, and one for the cursor.
    constexpr int kLineEditMargins = 2 * 2 + 1;
    return option.rect.width() - field.width() + text.left() + text.right() + kLineEditMargins +
           fontMetrics().horizontalAdvance(sampleCommand(bytes));
}

QSize CommandBox::sizeHint() const {
    return {widthForBytes(kPreferredBytes), QComboBox::sizeHint().height()};
}

QSize CommandBox::minimumSizeHint() const {
    return {widthForBytes(kLeastBytes), QComboBox::minimumSizeHint().height()};
}

QSize SheetScrollArea::sizeHint() const {
    const int frame = 2 * frameWidth();
    if (widget() == nullptr)
        return {frame, frame};
    // Wide enough for the commands' preferred width, as tall as all of the sheet.
    const QSize content(std::max(widget()->sizeHint().width(), widget()->minimumSizeHint().width()),
                        std::max(widget()->sizeHint().height(), widget()->minimumSizeHint().height()));
    return content + QSize(frame, frame);
}

QSize SheetScrollArea::minimumSizeHint() const {
    const QSize least = QScrollArea::minimumSizeHint();
    if (widget() == nullptr)
        return least;
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
    return {widget()->minimumSizeHint().width() + scrollBar + 2 * frameWidth(), least.height()};
}

bool SheetScrollArea::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QScrollArea::eventFilter(watched, event);
}

}  // namespace zeze
