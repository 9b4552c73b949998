#pragma once

#include <cstdio>
#include <string_view>

// What the program prints: the listing, the usage text and its error lines. They are UTF-8 inside
// the program; how they reach the reader depends on where the stream goes.
namespace platform {

// Takes over the console of the program that started this one, when it handed over that console
// as one of the standard handles. On Windows the program has no console of its own (it is the
// window's program): started from a console by its companion (ablagekehrer.com), it is given the
// companion's handles, and only a process attached to a console can write text to it there and
// hears Ctrl+C in it. Started without a console (Explorer, the Task Scheduler), or with only files
// and pipes as its standard handles, it stays without one. Linux has nothing to do: a terminal is
// a file like any other.
void joinStartingConsole();

// Writes `text`, UTF-8 cut only between characters, to `stream`, and flushes the stream. To a
// Windows console the text is written as UTF-16, so that it shows every character whatever the
// console's code page; to a file or a pipe, and on Linux everywhere, as its bytes: UTF-8 without a
// byte-order mark (on Windows through the stream's text mode, which ends lines in CR LF). Returns
// false, with the system's last error (lastSystemError) set, when the text was not written whole.
bool writeOutput(std::FILE *stream, std::string_view text);

} // namespace platform
