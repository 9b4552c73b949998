#include "window/tfmain.h"

// What the view tells the form: each of the user's actions reaches its handler through the guard,
// and none does anything while a run goes on.
namespace window {

void TFmain::shown()
{
    guarded([this] { FormShow(); });
    // The unattended run asked the program to end: the window was shown once, with what the run
    // left.
    if (m_endAfterShowing) {
        m_endAfterShowing = false;
        m_view.quit(0);
    }
}

void TFmain::directoryChosen(int entry)
{
    guarded([this, entry] {
        m_selected = entry;
        takeRule();
        dirChange();
    });
}

void TFmain::refreshClicked()
{
    guarded([this] { dirChange(); });
}

void TFmain::modeClicked(core::SelectionMode mode)
{
    // Clicking the radio button that is checked does nothing.
    guarded([this, mode] {
        if (mode != m_mode)
            check(mode);
    });
}

void TFmain::subdirectoriesTicked(bool ticked)
{
    // Counts from the next refresh.
    m_subdirectories = ticked;
}

void TFmain::addFolderClicked()
{
    guarded([this] { SpeedButton1Click(); });
}

void TFmain::deleteClicked()
{
    guarded([this] { loeschenClick(); });
}

void TFmain::stepped(Count count, Step step)
{
    if (isBusy())
        return;
    // Before the step: a refresh with the value that still stands, and an error there does not
    // stop the step.
    guarded([this] { DateienChanging(); });
    CountField &changed = field(count);
    if (!changed.step(step))
        return;
    m_view.showCount(count, changed.text());
    showLimitDate();
    guarded([this, count] { count == Count::Days ? TageClick() : DateienClick(); });
}

void TFmain::typed(Count count, std::string text)
{
    // Counts from the next time the value is read; the date beside the days follows at once.
    field(count).type(std::move(text));
    if (count == Count::Days)
        showLimitDate();
}

void TFmain::enterPressed(Count count)
{
    guarded([this, count] {
        const auto mode
            = count == Count::Days ? core::SelectionMode::Age : core::SelectionMode::Count;
        if (mode != m_mode) {
            m_mode = mode;
            m_view.showMode(mode);
        }
        dirChange();
    });
}

} // namespace window
