#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// Every text the program shows or writes, each in one place.
namespace core::messages {

inline constexpr std::array<std::string_view, 5> kColumnHeaders
    = { "Dateiname", "Größe", "Datum", "Uhrzeit", "Verzeichnis" };

inline constexpr std::string_view kNoFilesFound = "-- Keine Dateien gefunden --";
inline constexpr std::string_view kLimitDateDesign = "Datum";
inline constexpr std::string_view kCountWithSubdirectories
    = "/Anzahl und /Sub ist nicht kombinierbar!";
inline constexpr std::string_view kErrorPrefix = "Ablagekehrer: ";
inline constexpr std::string_view kCannotInsertRow = "Zeile kann nicht eingefügt werden";

// "%d Dateien": the plural stands for every count, 1 included.
inline std::string fileCount(std::size_t count)
{
    return std::to_string(count) + " Dateien";
}

// "%s KB Gesamt" with the grouped total.
inline std::string totalKilobytes(std::string_view grouped)
{
    return std::string(grouped) + " KB Gesamt";
}

// The start line of a deletion run in the log.
inline std::string deletionStart(std::size_t count)
{
    return "Start der Dateilöschung von " + std::to_string(count) + " Dateien";
}

// "'%s' ist kein gültiger Integerwert".
inline std::string notAnInteger(std::string_view text)
{
    return "'" + std::string(text) + "' ist kein gültiger Integerwert";
}

} // namespace core::messages

namespace core::messages {

// The German message for a failed file operation, from the system's error number: the few
// everyday causes by name, any other as "E/A-Fehler" with the number itself.
std::string fileError(int errorNumber);

} // namespace core::messages
