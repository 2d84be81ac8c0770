// console.h - how the host speaks: one-line messages on standard error, the replace question, names
// with their unprintable bytes escaped, and the progress bar (progress.cpp).
#pragma once

#include <cstdint>
#include <string>

namespace uuarc_host {

struct ConsoleSettings {
    bool quiet = false;            // -q: no progress bar, no messages on success
    bool data_on_stdout = false;   // -c or -o -: standard output carries data, so talk on stderr
};

extern ConsoleSettings g_console;

// `text` with every byte that is not printable escaped: \t, \n, \r, \xHH for other control bytes
// and bytes that are not text, \uHHHH for invisible and direction-changing characters (Linux
// text is UTF-8; on Windows it is code page 1252).
std::string Shown(const std::string& text);

// The one form of a failure, on standard error:
//   uuarc: FILE: WHAT: REASON (status N)
// FILE is escaped here; an empty REASON is left out with its colon, and so is a negative status.
// WHAT and REASON are written as they are: a name inside them must come through Shown.
void Report(const std::string& file, const std::string& what, const std::string& reason, int status);

// "uuarc: TEXT" on standard error, for what concerns no file (usage, the module itself).
void Complain(const std::string& text);

// A line on success ("a.uue -> a.bin"): on standard output, or standard error while standard
// output carries data; nothing with -q.
void Say(const std::string& text);

// Asks on standard error and reads the answer from standard input; true only for "y" or "Y".
bool AskYesNo(const std::string& question);

// ---- The progress bar (progress.cpp) -------------------------------------------------------------
// Shown on standard error while it is a terminal and -q is not given, unless standard output
// carries data to that same terminal. It counts the bytes of one
// file as they are read (the encoded file while extracting, the source while creating), shows the
// percentage, rate and time left, fits the terminal's width at each redraw and is redrawn at most
// ten times a second.

// Starts a bar for `name` of `total` bytes; nothing is drawn before the first ProgressAdd.
void ProgressStart(const std::string& name, int64_t total);
// The total once it is known, where the bar was started without one: the first that comes counts
// (every file of a text says the length from its own begin line on).
void ProgressTotal(int64_t total);
void ProgressAdd(int64_t bytes);
// Success: the bar is drawn at 100% and the line ended.
void ProgressDone();
// Failure: the line is cleared and the bar stops.
void ProgressAbandon();
// Clears the line before a message or question; the next update draws it again.
void ProgressHide();
// From the interrupt handler: ends a line that is showing. Safe there: no stdio, no allocation.
void ProgressInterrupted();

}  // namespace uuarc_host
