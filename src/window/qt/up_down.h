#pragma once

#include "window/view.h"

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace window {

// The up and down arrows beside a number field. A step happens when an arrow goes down and again
// on every repeat while it is held, and on the Up and Down keys in the field; the value itself is
// the form's.
class UpDown : public QWidget
{
    Q_OBJECT

public:
    UpDown(QLineEdit *buddy, QWidget *parent);

    QToolButton *upArrow() const { return m_up; }
    QToolButton *downArrow() const { return m_down; }

signals:
    void stepped(window::Step step);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QLineEdit *m_buddy;
    QToolButton *m_up;
    QToolButton *m_down;
};

} // namespace window
