#include "app/widgets.h"

#include <QMouseEvent>

namespace zeze {

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

void ActivityLog::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    clear();
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

}  // namespace zeze
