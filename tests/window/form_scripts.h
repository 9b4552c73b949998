#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// The window's behaviour as a table of scripts, each a start, the user's events and what the
// window then shows, played against a fresh tree of folders. The form's own test plays them on a
// recording view; a toolkit's view test plays the same scripts through its real controls.
namespace form_scripts {

// What the window shows after a script.
struct Observed
{
    std::vector<std::string> listed; // the first cell of every row of the grid
    std::vector<std::string> entries; // the entries of `dir`
    int selected = -1; // the chosen entry of `dir`
    std::string days; // the text of `Edit1`
    std::string files; // the text of `Edit2`
    std::string date; // `Datum`
    bool ageMode = true; // `deltage` checked, else `delDateien`
    bool subdirectories = false;
    bool deleteEnabled = false;
    std::array<std::string, 4> status; // the status bar's panels
    // Every dialog shown so far, in turn: "folder: INSTRUCTION", "confirm: QUESTION",
    // "notice: TEXT", "error: TEXT" (lines of the text joined by " / ").
    std::vector<std::string> dialogs;
    // How often the grid was given a new listing (a cleared one included).
    int listings = 0;
};

// One event of a script, its words taken apart: "type Edit1 4 5" is "type", "Edit1" and "4 5".
struct Event
{
    std::string verb;
    std::string name;
    std::string value; // the rest of the line after the name
    std::string rest; // the rest of the line after the verb: a path with its blanks
    std::string line; // the whole event
};

// The words of `line`.
Event parse(std::string_view line);

// How an observed dialog reads: "KIND: TEXT", the lines of the text joined by " / ".
std::string dialogLine(std::string_view kind, std::string text);

// A window played by a script. Events are words separated by one blank:
//   show                        the program's own first showing of the window
//   choose N                    the user chooses entry N of `dir`
//   click NAME                  a click on SpeedButton1, SpeedButton2, loeschen, deltage,
//                               delDateien or subdir
//   step NAME up|down           a click on an arrow of Tage or Dateien
//   key NAME up|down|enter      the key in Edit1 or Edit2
//   key F5                      the key anywhere in the window
//   type NAME TEXT              the user replaces the text of Edit1 or Edit2 (TEXT may be empty)
//   answer yes|no               how the next question is answered
//   folder PATH|cancel          what the next folder chooser returns: PATH, or "-" for an empty
//                               path
class Driver
{
public:
    virtual ~Driver() = default;
    // Builds the window afresh, with the German formats, and runs start-up with `arguments` and
    // the settings file at `settingsPath`; the questions are answered "no" until told otherwise.
    virtual void start(const std::vector<std::string> &arguments, const std::string &settingsPath)
        = 0;
    virtual void act(const Event &event) = 0;
    // The event written as a script writes it.
    void play(std::string_view line) { act(parse(line)); }
    virtual Observed observe() = 0;
};

// Plays every script of the table on `driver`, each on a tree of its own, and reports each
// difference as a failure of the running GoogleTest test, named by its script.
void playAll(Driver &driver);

} // namespace form_scripts
