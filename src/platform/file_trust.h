#pragma once

#include <string>

namespace platform {

// Why a file must not steer a run by the system's superuser.
enum class Distrust : unsigned char {
    None,
    OtherOwner, // the file belongs to another user, who may change it at will
    OthersMayWrite, // its group or everybody may write it
    FolderOthersMayWrite, // a folder on its way may be written, or is owned, by another user
};

struct TrustCheck
{
    Distrust distrust = Distrust::None;
    std::string folder; // for Distrust::FolderOthersMayWrite: the folder, ending in the separator
};

// Run by the superuser, whether the file at `path` (a settings file, which chooses what is
// deleted) may be read: only when no other user can have written it, nor put another file in its
// place. Run by any other user, and for a path that does not exist (the caller's reading then
// says why), the answer is Distrust::None.
TrustCheck superuserTrust(const std::string &path);

} // namespace platform
