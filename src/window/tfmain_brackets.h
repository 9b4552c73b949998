#pragma once

#include "window/tfmain.h"

// The two brackets the form's runs stand in, shared by the files of the form.
namespace window {

// A listing or a deletion run under way: the view holds the user's input back and shows the wait
// cursor, the events refuse to run, and the progress panel is cleared when the outermost run ends.
class TFmain::Busy
{
public:
    explicit Busy(TFmain &form)
        : m_form(form)
    {
        if (m_form.m_busy++ == 0)
            m_form.m_view.busy(true);
    }
    ~Busy()
    {
        if (--m_form.m_busy == 0) {
            m_form.m_view.showStatus(Panel::Progress, {});
            m_form.m_view.busy(false);
        }
    }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    TFmain &m_form;
};

// Brackets a change of the listing table for the view, also when the change ends with an error.
class TFmain::ListingChange
{
public:
    explicit ListingChange(View &view)
        : m_view(view)
    {
        m_view.listingChanging();
    }
    ~ListingChange() { m_view.listingChanged(); }
    ListingChange(const ListingChange &) = delete;
    ListingChange &operator=(const ListingChange &) = delete;

private:
    View &m_view;
};

} // namespace window
