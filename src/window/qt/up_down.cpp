#include "window/qt/up_down.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

namespace window {

UpDown::UpDown(QLineEdit *buddy, QWidget *parent)
    : QWidget(parent)
    , m_buddy(buddy)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
{
    setFocusPolicy(Qt::NoFocus);
    for (QToolButton *arrow : { m_up, m_down }) {
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);
        arrow->setAutoRaise(false);
        // A step happens when an arrow goes down and again on every repeat while it is held, as
        // the arrows of a spin control behave, not when the mouse is released.
        connect(arrow, &QToolButton::pressed, this,
            [this, arrow] { emit stepped(arrow == m_up ? Step::Up : Step::Down); });
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    m_buddy->installEventFilter(this);
}

bool UpDown::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            emit stepped(key == Qt::Key_Up ? Step::Up : Step::Down);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::resizeEvent(QResizeEvent *)
{
    const int upper = (height() + 1) / 2;
    m_up->setGeometry(0, 0, width(), upper);
    m_down->setGeometry(0, upper, width(), height() - upper);
}

} // namespace window
