// Small widgets the window needs beyond Qt's: the Activity log list and labels that take gestures.
#pragma once

#include <QLabel>
#include <QListWidget>

namespace zeze {

// The Activity log: lines are appended at the end, trimmed from the top, and all cleared by the
// release of any mouse button over the list.
class ActivityLog : public QListWidget {
    Q_OBJECT
  public:
    static constexpr int kMaxLines = 25;
    using QListWidget::QListWidget;

    void append(const QString& line);
    // Keeps the newest kMaxLines lines and brings the last into view with nothing left selected.
    void trim();
    QStringList lines() const;

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A label that reports a click (left press and release over it) and every mouse press with its button.
class GestureLabel : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;

  signals:
    void clicked();
    void pressed(Qt::MouseButton button);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool m_leftDown = false;
};

}  // namespace zeze
