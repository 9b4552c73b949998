#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace window {

// A spin control of an up and a down arrow attached to a buddy edit. It keeps the event order the
// window relies on: `changing` before every step, while the old value still stands; `clicked`
// after a step, and only when the value changed; nothing but `changing` at a bound. Holding an
// arrow repeats full steps, and the Up and Down keys in the buddy step too. Text typed into the
// buddy is read only when the value is next needed, and counts only when it is a whole number
// within the range.
class UpDown : public QWidget
{
    Q_OBJECT

public:
    enum class Button { Up, Down };

    UpDown(QLineEdit *buddy, int minimum, int maximum, int position, QWidget *parent);

    // The number in the buddy when it is a whole number within the range, else the last one that
    // was. Not const: a valid number read here becomes the last valid value.
    int position();
    // A value set by the program: clamped to the range and shown in the buddy. `changing` fires
    // first when the value differs from the current one; `clicked` never fires.
    void setPosition(int value);
    // One step, as a click on an arrow makes it.
    void step(Button button);

    QToolButton *upArrow() const { return m_up; }
    QToolButton *downArrow() const { return m_down; }

signals:
    void changing();
    void clicked(window::UpDown::Button button);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void display(int value);

    QLineEdit *m_buddy;
    QToolButton *m_up;
    QToolButton *m_down;
    int m_minimum;
    int m_maximum;
    int m_position;
};

} // namespace window
