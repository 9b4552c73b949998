#include "core/messages.h"

#include "core/outcome.h"

namespace core::messages {

std::string fileError(platform::SystemError error)
{
    switch (error.kind) {
    case platform::ErrorKind::NotFound:
    case platform::ErrorKind::NotADirectory:
    case platform::ErrorKind::BadName:
        return "Ungültiger Dateiname";
    case platform::ErrorKind::AccessDenied:
        return "Dateizugriff verweigert";
    case platform::ErrorKind::TooManyOpenFiles:
        return "Zu viele geöffnete Dateien";
    case platform::ErrorKind::DiskFull:
        return "Zu wenig Speicherplatz";
    case platform::ErrorKind::NotARegularFile:
        return std::string(kNotARegularFile);
    case platform::ErrorKind::None:
    case platform::ErrorKind::InUse:
    case platform::ErrorKind::OutOfMemory:
    case platform::ErrorKind::Other:
        break;
    }
    // The system's own number, not the number of a named message: on Linux EIO (5) is
    // «E/A-Fehler 5», never the message of Windows' error 5.
    return "E/A-Fehler " + std::to_string(error.code);
}

std::string notDeletedReason(Outcome outcome, platform::SystemError error)
{
    switch (outcome) {
    case Outcome::Refused:
        return fileError(error);
    case Outcome::Changed:
        return "seit der Auflistung geändert";
    case Outcome::DirectoryChanged:
        return "Verzeichnis geändert";
    case Outcome::Deleted:
        break;
    }
    return {};
}

} // namespace core::messages
