#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Every text the window and its dialogs show, each in one place, in UTF-8. The texts that the core
// and start-up share with the listing and the log stay in core/messages.h.
namespace window::texts {

// The application's title: the caption of the notice and of the error box.
inline constexpr char kApplicationTitle[] = "Ablagekehrer";
inline constexpr char kCaption[] = "Ablage-Kehrer";

inline constexpr char kDirectoryLabel[] = "Verzeichnis";
// The entry the drop-down holds before start-up, which replaces it unless it fails early.
#ifdef _WIN32
inline constexpr char kDefaultDirectory[] = "d:\\temp\\";
#else
inline constexpr char kDefaultDirectory[] = "/tmp/";
#endif
inline constexpr char kSubdirectories[] = "Unterverzeichnis";
inline constexpr char kDelete[] = "Löschen";
inline constexpr char kDeleteTip[] = "Löscht die unten angezeigten Dateien";
inline constexpr char kByAge[] = "Anzahl Tage";
inline constexpr char kDaysTip[] = "Anzahl der Tage, die bestehen bleiben sollen";
inline constexpr char kByCount[] = "Anzahl Dateien";
inline constexpr char kFilesTip[] = "Anzahl der neuesten Dateien, die bestehen bleiben sollen";
// The text of the first status panel while no rule narrows the listing.
inline constexpr char kStatusNotice[] = "Ablage aufräumen";
// What narrows the listing of the folder, in short, in the first status panel: its patterns
// («nur *.log;*.gz»), its exceptions («ohne *.conf») and the floor of the newest files
// («3 neueste bleiben»); kStatusNotice when nothing does.
inline std::string ruleNotice(const std::string &patterns, const std::string &exceptions,
    std::int32_t keepNewest, bool emptiedFolders)
{
    std::string notice;
    const auto add
        = [&notice](const std::string &part) { notice += (notice.empty() ? "" : " · ") + part; };
    if (!patterns.empty())
        add("nur " + patterns);
    if (!exceptions.empty())
        add("ohne " + exceptions);
    if (keepNewest > 0)
        add(std::to_string(keepNewest) + " neueste bleiben");
    if (emptiedFolders)
        add("leere Ordner weg");
    return notice.empty() ? std::string(kStatusNotice) : notice;
}

inline constexpr char kChooseFolder[] = "Verzeichnis wählen";
inline constexpr char kConfirmCaption[] = "Bestätigung";
inline constexpr char kYes[] = "&Ja";
inline constexpr char kNo[] = "&Nein";
inline constexpr char kOk[] = "OK";

// The question before a deletion run; the plural stands for every count, 1 included. A run that
// removes the folders it empties names them too: `folders` of them (a few at most) one per line,
// and how many more of `folderCount` there are.
inline constexpr std::size_t kFoldersNamed = 10;
inline std::string confirmDeletion(
    std::size_t count, const std::vector<std::string> &folders = {}, std::size_t folderCount = 0)
{
    std::string question
        = "Sollen die " + std::to_string(count) + " Dateien wirklich gelöscht werden?";
    if (folderCount == 0)
        return question;
    question += "\n\nMit ihnen gehen die Ordner, die dann leer sind:";
    for (const std::string &folder : folders)
        question += "\n" + folder;
    if (folderCount > folders.size())
        question += "\nund " + std::to_string(folderCount - folders.size()) + " weitere";
    return question;
}

// The progress of a long listing or deletion run in the status bar; the counts come grouped by
// the user's thousands separator.
inline std::string filesFound(const std::string &found)
{
    return found + " Dateien gefunden";
}
inline std::string filesDeleted(const std::string &done, const std::string &total)
{
    return done + " von " + total + " Dateien gelöscht";
}

} // namespace window::texts
