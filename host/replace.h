// replace.h - replacing an existing file so that a failed or interrupted run leaves it as it was.
// Creation writes the new file beside the target and renames it over the target once complete
// (the module creates only files that do not exist yet); extraction moves the existing file
// aside, lets the module write a new one and drops the old one once the new one is complete. The
// module would keep the old file by itself too, but only the host knows the names to clean up
// when an interrupt ends the run.
#pragma once

#include <string>

#include "host/cleanup.h"

namespace uuarc_host {

struct Replacement {
    std::string target;          // the file being replaced
    std::string stand_in;        // the new file being written beside it, or the old one moved aside
    LeftoverId leftover = kNoLeftover;
    bool moved_aside = false;
};

// Creation: picks a free name beside `target` for the module to write, remembered for removal.
bool PrepareWriteBeside(const std::string& target, Replacement& replacement, std::string& error);

// Extraction: moves the existing `target` aside, remembered to be put back.
bool MoveAside(const std::string& target, Replacement& replacement, std::string& error);

// The new file is complete: it takes the target's name, or the old one is removed. False, with
// `error`, when the rename fails; the target is then as it was.
bool CompleteReplacement(Replacement& replacement, std::string& error);

// The new file failed: it is removed and the target is as it was. Nothing happens when no
// replacement is under way.
void AbandonReplacement(Replacement& replacement);

}  // namespace uuarc_host
