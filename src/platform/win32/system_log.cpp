#include "platform/system_log.h"

#include "platform/win32/wide_text.h"

#include <windows.h>

namespace platform {

namespace {

// The one message of the program's message table: the line itself ("%1").
constexpr DWORD kLineEvent = 1;

} // namespace

void reportEvent(EventKind kind, std::string_view line)
{
    // Registered or not, the source is opened: the event viewer then shows the line with a note
    // that the source's message file is missing, but it still shows it.
    const HANDLE source = RegisterEventSourceW(nullptr, L"Ablagekehrer");
    if (!source)
        return;
    const std::wstring text = win32::wideFromUtf8(line);
    const wchar_t *strings[] = { text.c_str() };
    ReportEventW(source, kind == EventKind::Error ? EVENTLOG_ERROR_TYPE : EVENTLOG_WARNING_TYPE, 0,
        kLineEvent, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
}

} // namespace platform
