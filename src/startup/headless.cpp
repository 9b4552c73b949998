#include "startup/headless.h"

#include "core/errors.h"
#include "core/messages.h"
#include "core/selection.h"
#include "startup/form_create.h"
#include "startup/listing_output.h"
#include "startup/unattended.h"

#include <cerrno>
#include <new>

namespace startup {

namespace {

int report(std::FILE *err, const std::string &message)
{
    const std::string line
        = std::string(core::messages::kErrorPrefix) + core::withFinalStop(message) + "\n";
    std::fwrite(line.data(), 1, line.size(), err);
    std::fflush(err);
    return 1;
}

} // namespace

int runHeadless(const std::vector<std::string> &arguments, const std::string &settingsPath,
    const platform::LocaleFormats &formats, std::FILE *out, std::FILE *err)
{
    try {
        core::JobState state(formats);
        const StartupResult startup = FormCreate(state, arguments, settingsPath);
        if (startup.countWithSubdirectoriesNotice)
            return report(err, std::string(core::messages::kCountWithSubdirectories));
        if (startup.unattendedRequested && !startup.listOnly) {
            // Under cron every printed line becomes a mail: a run that went well says nothing.
            runUnattended(state);
            return 0;
        }
        state.Loading = false;
        core::Refresh(state);
        if (!writeListing(state, out))
            return report(err, core::messages::fileError(errno));
        return 0;
    } catch (const core::AppError &error) {
        return report(err, error.what());
    } catch (const std::bad_alloc &) {
        return report(err, core::messages::fileError(ENOMEM));
    } catch (const std::exception &error) {
        return report(err, error.what());
    }
}

} // namespace startup
