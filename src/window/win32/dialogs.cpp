#include "window/win32/dialogs.h"

#include "platform/win32/wide_text.h"
#include "window/texts.h"

#include <shobjidl.h>

namespace window::win32 {

namespace {

using platform::win32::utf8FromWide;
using platform::win32::wideFromUtf8;

// Releases a COM interface when it goes.
template <typename Interface> class ComPointer
{
public:
    ComPointer() = default;
    ~ComPointer()
    {
        if (m_pointer)
            m_pointer->Release();
    }
    ComPointer(const ComPointer &) = delete;
    ComPointer &operator=(const ComPointer &) = delete;

    Interface **out() { return &m_pointer; }
    Interface *operator->() const { return m_pointer; }

private:
    Interface *m_pointer = nullptr;
};

// The owner only while it is shown: a box of start-up stands alone, centred on the screen.
HWND shownOwner(HWND owner)
{
    return owner && IsWindowVisible(owner) ? owner : nullptr;
}

int messageBox(HWND owner, const std::string &text, const char *caption, UINT type)
{
    return MessageBoxW(shownOwner(owner), wideFromUtf8(text).c_str(), wideFromUtf8(caption).c_str(),
        type | MB_SETFOREGROUND);
}

} // namespace

std::optional<std::string> SystemDialogs::chooseFolder(HWND owner, const std::string &title)
{
    ComPointer<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
            IID_IFileOpenDialog, reinterpret_cast<void **>(dialog.out()))))
        return std::nullopt;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    // Only folders of the file system can be confirmed.
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(wideFromUtf8(title).c_str());
    // A drive that is not ready answers the dialog, not a box of the system's own.
    const UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    const HRESULT shown = dialog->Show(shownOwner(owner));
    SetErrorMode(errorMode);
    if (FAILED(shown))
        return std::nullopt;
    ComPointer<IShellItem> item;
    if (FAILED(dialog->GetResult(item.out())))
        return std::nullopt;
    wchar_t *path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path)
        return std::nullopt;
    std::string result = utf8FromWide(path);
    CoTaskMemFree(path);
    return result;
}

bool SystemDialogs::confirm(HWND owner, const std::string &question)
{
    // "Ja" is the default button; Escape and the close box answer "Nein".
    return messageBox(owner, question, texts::kConfirmCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void SystemDialogs::notice(HWND owner, const std::string &text)
{
    messageBox(owner, text, texts::kApplicationTitle, MB_OK | MB_ICONINFORMATION);
}

void SystemDialogs::error(HWND owner, const std::string &text)
{
    messageBox(owner, text, texts::kApplicationTitle, MB_OK | MB_ICONERROR);
}

} // namespace window::win32
