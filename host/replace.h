// replace.h - creation over an existing file. The module creates only files that do not exist
// yet, so the new file is written in a private folder (0700) made beside the target, out of
// everyone else's reach whatever its own bits, and renamed over the target once it is whole and
// checked to be the file this run wrote. Where a rename would lose the target's identity, the
// new file is copied over it in place, which cannot keep the old content if it fails part-way. Extraction needs none of this: the module replaces an
// existing output itself, through a new file beside it that has the old one's bits from the
// start.
#pragma once

#include <string>

#include "host/cleanup.h"
#include "host/options.h"
#include "host/system.h"

namespace uuarc_host {

struct Replacement {
    std::string target;          // the file being replaced
    std::string folder;          // the private folder beside it
    std::string stand_in;        // the new file, in that folder, that the module writes
    LeftoverId folder_id = kNoLeftover;
    LeftoverId stand_in_id = kNoLeftover;
    // A target that a rename would lose (another name, a folder that cannot be written in) is
    // overwritten in place instead, from a new file in the run's scratch folder.
    bool in_place = false;
    FileIdentity target_identity;
    bool target_new = false;     // nothing was at the target: a file that appears there is kept
};

enum class ReplaceResult { kDone, kKept, kLost };

// A file that the host names for writing (create's target, extract -o FILE), as found before
// anything is written.
struct NamedTarget {
    bool exists = false;         // a regular file is there, to be replaced
    bool in_place = false;       // ... by writing over it (see IdentifyReplaced)
    FileIdentity identity;
};

// The checks and the question before `target` is written from `source` (create's source,
// extract's archive, `source_shown` in messages), as --overwrite, --skip-existing and the
// terminal decide: only a regular file is ever replaced, and never the source itself. -1 to go
// on, with `found`; kExitOk after a "no" or with --skip-existing (said); otherwise the exit code
// after a message.
int ConsentToWrite(const std::string& target, const Options& options, const std::string& source,
                   const std::string& source_shown, NamedTarget& found);

// Makes the private folder beside `target` and names the new file in it, both remembered for
// removal. False, with `error`, when the folder cannot be made. Without `stand_in_name` the file is
// named later, by TakeStandIn.
bool PrepareWriteBeside(const std::string& target, Replacement& replacement, std::string& error,
                        const char* stand_in_name = "new.uue");

// The new file is `path`, already remembered as `id`, which the replacement now settles.
void TakeStandIn(Replacement& replacement, const std::string& path, LeftoverId id);

// The target is overwritten in place once `stand_in`, a new file in a private scratch folder
// that its owner settles, is whole. `identity` is the target's, checked again before the write.
void PrepareOverwriteInPlace(const std::string& target, const FileIdentity& identity, const std::string& stand_in,
                             Replacement& replacement);

// The new file is complete: once checked, it takes the target's permission bits through its
// descriptor, then the target's name; or, in place, its bytes go into the target checked again.
// kKept, with `error`, when a check or the rename fails and the target is as it was; kLost when
// the overwrite in place failed part-way and the target is cut short. The private folder goes
// either way.
ReplaceResult CompleteReplacement(Replacement& replacement, std::string& error);

// The new file failed: it is removed with its folder and the target is as it was. Nothing
// happens when no replacement is under way.
void AbandonReplacement(Replacement& replacement);

}  // namespace uuarc_host
