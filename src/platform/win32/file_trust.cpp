#include "platform/file_trust.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <aclapi.h>
#include <memory>
#include <sddl.h>
#include <vector>
#include <windows.h>

namespace platform {

namespace {

// Windows Installer's service account, which owns what installers put in place.
constexpr wchar_t kTrustedInstaller[]
    = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// The user the program runs as, as its token tells; empty when it cannot be told.
std::vector<unsigned char> runningUser()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    const win32::UniqueHandle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        return {};
    return buffer;
}

bool isTrustedOwner(PSID owner)
{
    if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid)
        || IsWellKnownSid(owner, WinLocalSystemSid))
        return true;
    PSID installer = nullptr;
    if (ConvertStringSidToSidW(kTrustedInstaller, &installer)) {
        const bool same = EqualSid(owner, installer) != 0;
        LocalFree(installer);
        if (same)
            return true;
    }
    const std::vector<unsigned char> user = runningUser();
    return !user.empty()
        && EqualSid(owner, reinterpret_cast<const TOKEN_USER *>(user.data())->User.Sid) != 0;
}

} // namespace

// Windows has no owner and mode bits that tell who may write a file: its access control lists
// do, and judging them by hand would be a second and weaker access check. What can be told is who
// put the file there. The settings file chooses what is deleted, and a shared place such as
// %ProgramData%\Ablagekehrer lets every user create a file that is missing: a file is read only
// when it belongs to the account running the program, the administrators, the system or the
// installer, never when another user made it.
TrustCheck superuserTrust(const std::string &path)
{
    const std::wstring wide = win32::longPath(path);
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (wide.empty()
        || GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
               nullptr, nullptr, nullptr, &descriptor)
            != ERROR_SUCCESS)
        return {};
    const bool trusted = !owner || isTrustedOwner(owner);
    LocalFree(descriptor);
    return { trusted ? Distrust::None : Distrust::OtherAccount, {} };
}

} // namespace platform
