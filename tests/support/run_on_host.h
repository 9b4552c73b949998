#pragma once

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Under Wine, runs the host's `program` with the host's names of the Windows paths `paths` (and
// the options among them, which start with "-"), and waits until `done` holds, for up to two
// seconds: Wine gives no handle to wait for a host process. False elsewhere, or when it fails.
bool runOnHost(
    const char *program, const std::vector<std::wstring> &paths, const std::function<bool()> &done);

} // namespace testing_support
