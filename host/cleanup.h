// cleanup.h - what a run has on disk that it must not leave behind: temporary files and folders,
// output files it made and has not finished, and existing files moved aside while their
// replacement is written. Each is settled (removed, or put back) once the run is done with it, at
// exit, after an error, and by the interrupt handler, which then ends the process with 128 + the
// signal number.
#pragma once

#include <string>

namespace uuarc_host {

enum class LeftoverKind : int {
    kNone = 0,
    kFile,        // removed
    kFolder,      // removed once empty: its files are remembered after it, so settled before it
    kMovedAside,  // `path` is an existing file moved aside from `original`: whatever is at
                  // `original` now is removed and `path` goes back there
};

// A remembered leftover; kNoLeftover for none.
using LeftoverId = int;
constexpr LeftoverId kNoLeftover = -1;

// Remembers a leftover; kNoLeftover when there is no room left or a path is too long (callers
// treat that as an error: they cannot promise to clean up).
LeftoverId Remember(LeftoverKind kind, const std::string& path, const std::string& original = {});

// The run keeps it where it is: it is forgotten without being touched. `id` becomes kNoLeftover;
// kNoLeftover does nothing.
void Forget(LeftoverId& id);

// Settles it now and forgets it; `id` becomes kNoLeftover.
void Settle(LeftoverId& id);

// Turns a moved-aside file into a plain leftover file: the replacement is complete, so the old
// file is only in the way now.
void KeepReplacement(LeftoverId id);

// Settles everything that is remembered, newest first.
void SettleAll();

// Installs the handler of SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXCPU and SIGPIPE: it ends the
// progress line, settles everything and exits with 128 + the signal number.
void SettleOnInterrupt();

}  // namespace uuarc_host
