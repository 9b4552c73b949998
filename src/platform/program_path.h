#pragma once

#include <string>

namespace platform {

// The real path of the running executable, or empty when the system does not tell it.
std::string ownExecutablePath();

} // namespace platform
