#pragma once

#include <string>

namespace platform {

// Why a file must not steer a run by the system's superuser.
enum class Distrust : unsigned char {
    None,
    OtherOwner, // the file belongs to another user, who may change it at will
    OthersMayWrite, // its group or everybody may write it
    FolderOthersMayWrite, // a folder on its way may be written, or is owned, by another user
    // Windows: the file belongs to an account other than the one running, the administrators,
    // the system and the installer.
    OtherAccount,
};

struct TrustCheck
{
    Distrust distrust = Distrust::None;
    std::string folder; // for Distrust::FolderOthersMayWrite: the folder, ending in the separator
};

// Whether the file at `path` (a settings file, which chooses what is deleted) may be read. On
// Linux, run by the superuser: only when no other user can have written it, nor put another file
// in its place; run by any other user, always. On Windows, by any account: only when the file
// belongs to that account, the administrators, the system or the installer. For a path that does
// not exist (the caller's reading then says why), the answer is Distrust::None.
TrustCheck superuserTrust(const std::string &path);

} // namespace platform
