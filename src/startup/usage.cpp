#include "startup/usage.h"

namespace startup {

namespace {

// The folders of the example of rules per folder, and where its daily run is set up.
#ifdef _WIN32
constexpr const char *kExampleFolders[]
    = { "D:\\Logs\\App\\", "D:\\Sicherung\\", "D:\\Spool\\App\\" };
constexpr const char *kExampleSchedule = "in der Aufgabenplanung";
#else
constexpr const char *kExampleFolders[] = { "/var/log/app/", "/srv/sicherung/", "/var/spool/app/" };
constexpr const char *kExampleSchedule = "von cron oder einem systemd-Timer";
#endif

// Logs kept 14 days, backups with a floor of 3, and a spool tree with its emptied folders.
std::string rulesExample()
{
    return std::string("  [Pfade]\n  1=") + kExampleFolders[0] + "\n  2=" + kExampleFolders[1]
        + "\n  3=" + kExampleFolders[2]
        + "\n"
          "  [Pfad 1]\n"
          "  Tage=14\n"
          "  Muster=*.log;*.gz\n"
          "  [Pfad 2]\n"
          "  Tage=14\n"
          "  Behalten=3\n"
          "  [Pfad 3]\n"
          "  Tage=2\n"
          "  Unterverzeichnisse=1\n"
          "  LeereOrdner=1\n"
          "\n"
          "und ein Aufruf für alle, täglich "
        + kExampleSchedule + ":\n  ablagekehrer /ALLE GO\n";
}

} // namespace

std::string usageText(
    const std::vector<std::string> &settingsSearchPath, const std::string &settingsInUse)
{
    std::string text
        = "Aufruf: ablagekehrer [SCHALTER]...\n"
          "Findet alte Dateien in einem Verzeichnis und löscht sie.\n"
          "\n"
          "  /TAGE:n            die Dateien der letzten n Tage behalten (Anzahl Tage)\n"
          "  /ANZAHL:n          die n neuesten Dateien behalten (Anzahl Dateien)\n"
          "  /SUB               auch in allen Unterverzeichnissen (nicht mit /ANZAHL:)\n"
          "  /ID:n              das n-te Verzeichnis der Einstellungsdatei (sonst das "
          "erste)\n"
          "  /VERZEICHNIS:pfad  dieses Verzeichnis statt der Liste der "
          "Einstellungsdatei\n"
          "  /MUSTER:m;m        nur Dateien, deren Name einem Muster gleicht (* und ?)\n"
          "  /AUSNAHMEN:m;m     Namen, die nie gelöscht werden; solche Ordner bleiben "
          "unberührt\n"
          "  /BEHALTEN:n        (Anzahl Tage) die n neuesten Dateien bleiben, auch wenn "
          "sie alt sind\n"
          "  /LEEREORDNER       (Anzahl Tage, /SUB) Ordner, die der Lauf leert, auch "
          "entfernen\n"
          "  /PROTOKOLL:pfad    die Protokolldatei (statt der Einstellungsdatei)\n"
          "  /INI:pfad          diese Einstellungsdatei lesen\n"
          "  /LISTE             nur auflisten, nichts löschen\n"
          "  /ALLE              mit GO oder /LISTE: jedes Verzeichnis nach seiner Regel\n"
          "  /LISTE:TSV         nur auflisten, für Skripte: Pfad, Bytes, ISO-8601-Zeit je "
          "Zeile\n"
          "  GO, SOFORT         ohne Rückfrage löschen, protokollieren und beenden\n"
          "  --help, -h, /?     diese Hilfe\n"
          "  --version          die Version\n"
          "\n"
          "Groß- und Kleinschreibung der Schalter ist gleich; Zahlen dezimal oder "
          "hexadezimal ($1E, 0x1E).\n"
          "Ohne Anzeige und ohne GO oder SOFORT wird nur aufgelistet.\n"
          "\n"
          "Jedes Verzeichnis n unter [Pfade] kann einen Abschnitt [Pfad n] mit eigenen "
          "Regeln haben:\n"
          "Tage, Anzahl, Unterverzeichnisse (0/1), Muster, Ausnahmen, Behalten, "
          "LeereOrdner (0/1),\n"
          "Protokoll. Die Schalter gehen den Regeln vor, die Regeln dem Abschnitt "
          "[Optionen]. Zum Beispiel\n"
          "Protokolle 14 Tage, Sicherungen mit den 3 neuesten, ein Spool-Baum samt "
          "geleerter Ordner:\n"
          "\n";
    text += rulesExample();
    text += "\n"
            "Die Einstellungsdatei ist die erste vorhandene von:\n";
    for (const std::string &place : settingsSearchPath)
        text += "  " + place + "\n";
    text += "In Gebrauch: " + (settingsInUse.empty() ? std::string("keine") : settingsInUse) + "\n";
    text += "\n"
            "Exit-Status: 0 erledigt, 1 Fehler (auch: eine Datei wurde nicht gelöscht), "
            "2 unbekanntes Argument.\n";
    return text;
}

std::string versionText()
{
    return std::string("Ablagekehrer ") + ABLAGEKEHRER_VERSION + "\n";
}

} // namespace startup
