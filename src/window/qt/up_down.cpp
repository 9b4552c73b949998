#include "window/qt/up_down.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

namespace window {

UpDown::UpDown(QLineEdit *buddy, int minimum, int maximum, int position, QWidget *parent)
    : QWidget(parent)
    , m_buddy(buddy)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
    , m_minimum(minimum)
    , m_maximum(maximum)
    , m_position(std::clamp(position, minimum, maximum))
{
    setFocusPolicy(Qt::NoFocus);
    for (QToolButton *arrow : { m_up, m_down }) {
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);
        arrow->setAutoRaise(false);
        // A step happens when an arrow goes down and again on every repeat while it is held, as
        // the arrows of a spin control behave, not when the mouse is released.
        connect(arrow, &QToolButton::pressed, this,
            [this, arrow] { step(arrow == m_up ? Button::Up : Button::Down); });
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    m_buddy->installEventFilter(this);
    display(m_position);
}

int UpDown::position()
{
    bool whole = false;
    const QString text = m_buddy->text().trimmed();
    const bool digitsOnly = !text.isEmpty()
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    const int value = digitsOnly ? text.toInt(&whole) : 0;
    if (whole && value >= m_minimum && value <= m_maximum)
        m_position = value;
    return m_position;
}

void UpDown::setPosition(int value)
{
    const int clamped = std::clamp(value, m_minimum, m_maximum);
    if (clamped != position())
        emit changing();
    m_position = clamped;
    display(clamped);
}

void UpDown::step(Button button)
{
    const int before = position();
    emit changing();
    const int after = std::clamp(before + (button == Button::Up ? 1 : -1), m_minimum, m_maximum);
    if (after == before)
        return;
    m_position = after;
    display(after);
    emit clicked(button);
}

bool UpDown::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? Button::Up : Button::Down);
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

void UpDown::display(int value)
{
    m_buddy->setText(QString::number(value));
}

} // namespace window
