#include "core/messages.h"

#include "core/deletion_run.h"

#include <cerrno>

namespace core::messages {

std::string fileError(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return "Ungültiger Dateiname";
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return "Dateizugriff verweigert";
    case EMFILE:
    case ENFILE:
        return "Zu viele geöffnete Dateien";
    case ENOSPC:
    case EDQUOT:
        return "Zu wenig Speicherplatz";
    default:
        return "E/A-Fehler " + std::to_string(errorNumber);
    }
}

std::string notDeletedReason(Outcome outcome, int errorNumber)
{
    switch (outcome) {
    case Outcome::Refused:
        return fileError(errorNumber);
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
