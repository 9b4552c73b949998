#pragma once

#include "platform/dir_search.h"

namespace platform {

// Whether `directory`, the identity a search gave a directory it entered, is the root of the
// system: "/" on Linux, the root of the drive Windows runs from on Windows. Below it lies every
// other user's files and the system's own: no run of ours deletes there. False when the root
// cannot be looked at.
bool isSystemRoot(const EntryIdentity &directory);

} // namespace platform
