#pragma once

#include <utility>

namespace platform {

// Owns one of the system's handles (a descriptor, a HANDLE) and closes it when it goes: every
// path out of a function, an early return or an error, gives it back. `Traits` names the handle
// type (Handle), its empty value (none()), whether a value is open (valid()) and how it closes
// (close()).
template <class Traits> class UniqueResource
{
public:
    using Handle = typename Traits::Handle;

    UniqueResource() = default;
    explicit UniqueResource(Handle handle)
        : m_handle(handle)
    {
    }
    UniqueResource(UniqueResource &&other) noexcept
        : m_handle(std::exchange(other.m_handle, Traits::none()))
    {
    }
    UniqueResource &operator=(UniqueResource &&other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_handle, Traits::none()));
        return *this;
    }
    UniqueResource(const UniqueResource &) = delete;
    UniqueResource &operator=(const UniqueResource &) = delete;
    ~UniqueResource() { reset(); }

    Handle get() const { return m_handle; }
    explicit operator bool() const { return Traits::valid(m_handle); }

    // Closes the handle held, if any, and holds `handle` instead.
    void reset(Handle handle = Traits::none())
    {
        if (Traits::valid(m_handle))
            Traits::close(m_handle);
        m_handle = handle;
    }
    // Gives the handle up without closing it.
    Handle release() { return std::exchange(m_handle, Traits::none()); }

private:
    Handle m_handle = Traits::none();
};

} // namespace platform
