#pragma once

#include "platform/unique_resource.h"

#include <windows.h>

namespace platform::win32 {

// The system gives a failed open as null (NtCreateFile) or as INVALID_HANDLE_VALUE (CreateFileW);
// neither is a handle to close.
struct HandleTraits
{
    using Handle = HANDLE;
    static HANDLE none() { return nullptr; }
    static bool valid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void close(HANDLE handle) { CloseHandle(handle); }
};

// An open handle, closed when it goes.
using UniqueHandle = UniqueResource<HandleTraits>;

} // namespace platform::win32
