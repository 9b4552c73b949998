#pragma once

#include <QString>

// Every text the window and its dialogs show, each in one place. The texts that the core and
// start-up share with the listing and the log stay in core/messages.h.
namespace window::texts {

// The application's title: the caption of the notice and of the error box.
inline constexpr char kApplicationTitle[] = "Ablagekehrer";
inline constexpr char kCaption[] = "Ablage-Kehrer";

inline constexpr char kDirectoryLabel[] = "Verzeichnis";
// The entry the drop-down holds before start-up, which replaces it unless it fails early.
inline constexpr char kDefaultDirectory[] = "/tmp/";
inline constexpr char kSubdirectories[] = "Unterverzeichnis";
inline constexpr char kDelete[] = "Löschen";
inline constexpr char kDeleteTip[] = "Löscht die unten angezeigten Dateien";
inline constexpr char kByAge[] = "Anzahl Tage";
inline constexpr char kDaysTip[] = "Anzahl der Tage, die bestehen bleiben sollen";
inline constexpr char kByCount[] = "Anzahl Dateien";
inline constexpr char kFilesTip[] = "Anzahl der neuesten Dateien, die bestehen bleiben sollen";
// The fixed text of the first status panel.
inline constexpr char kStatusNotice[] = "Ablage aufräumen";

inline constexpr char kChooseFolder[] = "Verzeichnis wählen";
inline constexpr char kConfirmCaption[] = "Bestätigung";
inline constexpr char kYes[] = "&Ja";
inline constexpr char kNo[] = "&Nein";
inline constexpr char kOk[] = "OK";

// The question before a deletion run; the plural stands for every count, 1 included.
inline QString confirmDeletion(int count)
{
    return QStringLiteral("Sollen die %1 Dateien wirklich gelöscht werden?").arg(count);
}

// The progress of a long listing or deletion run in the status bar; the counts come grouped by
// the user's thousands separator.
inline QString filesFound(const QString &found)
{
    return QStringLiteral("%1 Dateien gefunden").arg(found);
}
inline QString filesDeleted(const QString &done, const QString &total)
{
    return QStringLiteral("%1 von %2 Dateien gelöscht").arg(done, total);
}

} // namespace window::texts
