#pragma once

#include "window/view.h"

#include <string>

namespace window {

// The value of a number field with its arrows, whole numbers from `minimum` to `maximum`. The
// field shows a text; text typed into it counts only when the value is next read, and only when
// it is a whole decimal number within the range: otherwise the last valid value stands, and the
// field keeps the typed text until the next step.
class CountField
{
public:
    CountField(int minimum, int maximum, int position);

    // The value the text stands for, which becomes the value from now on; the last valid value
    // when the text is not one.
    int position();
    // The same, without making the text the value: what the field shows as a number.
    int shown() const;
    const std::string &text() const { return m_text; }

    // Text the user typed.
    void type(std::string text) { m_text = std::move(text); }
    // A value set by the program, clamped to the range and shown. True when it differs from the
    // value read before it, which is when the field announces a change.
    bool setPosition(int value);
    // One step of an arrow from the value read now. False at a bound, where value and text stay.
    bool step(Step step);

private:
    void show(int value);

    int m_minimum;
    int m_maximum;
    int m_position;
    std::string m_text;
};

} // namespace window
