// cleanup.h - what a run has on disk that it must not leave behind: its private temporary folders
// and their files, and output files it made and has not finished. Each is settled (removed) once
// the run is done with it, at exit, after an error, and by the interrupt handler, which then ends
// the process with 128 + the signal number. Nothing is ever moved aside or put back: the module
// replaces an existing file only once the new one is whole, so a run that stops leaves it as it was.
#pragma once

#include <string>

#include "host/system.h"

namespace uuarc_host {

enum class LeftoverKind : int {
    kNone = 0,
    kPrivateFile,  // in a private folder of this run, where no one else can put a file: removed
    kFolder,       // a private folder, removed once empty: its files are remembered after it, so
                   // settled before it
    kOwnFile,      // a new file in a shared folder: removed only while it is the file whose
                   // identity was taken (IdentifyLeftover); never before that
};

// A remembered leftover; kNoLeftover for none.
using LeftoverId = int;
constexpr LeftoverId kNoLeftover = -1;

// Remembers a leftover; kNoLeftover when there is no room left or the path is too long (callers
// treat that as an error: they cannot promise to clean up).
LeftoverId Remember(LeftoverKind kind, const std::string& path);

// Takes the identity of the file at the leftover's path, once, when it is a regular file of this
// user's with no other name (and, with `must_be_empty`, empty: one made a moment ago). From then
// on the leftover means that file alone. True when the identity is known, now or from before.
bool IdentifyLeftover(LeftoverId id, bool must_be_empty);

// The same with the identity that the module gave of the file it has just made: the system is
// not asked again.
void IdentifyLeftoverAs(LeftoverId id, const FileIdentity& identity);

// The run keeps it where it is: it is forgotten without being touched. `id` becomes kNoLeftover;
// kNoLeftover does nothing.
void Forget(LeftoverId& id);

// Settles it now and forgets it; `id` becomes kNoLeftover.
void Settle(LeftoverId& id);

// Settles everything that is remembered, newest first.
void SettleAll();

// Installs the handler of every signal that ends the run (InstallInterruptHandler, system.h): it
// ends the progress line, settles everything and exits with 128 + the signal number.
void SettleOnInterrupt();

}  // namespace uuarc_host
