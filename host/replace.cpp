// replace.cpp - the replacement of replace.h.
#include "host/replace.h"

#include <cinttypes>
#include <cstdio>

#include "host/console.h"
#include "host/exit_codes.h"
#include "host/system.h"
#include "module/uuarc.h"

namespace uuarc_host {

int ConsentToWrite(const std::string& target, const Options& options, const std::string& source,
                   const std::string& source_shown, NamedTarget& found) {
    found = NamedTarget{};
    const PathInfo info = QueryPath(target);
    if (!info.exists) return -1;
    // Without --overwrite and nobody to ask, the file is kept before anything else is looked at.
    if (options.replace == ReplacePolicy::kSkip) {
        Say(Shown(target) + " exists, skipped");
        return kExitOk;
    }
    const bool ask = options.replace == ReplacePolicy::kAsk;
    if (ask && !IsTerminal(stdin)) {
        const char* how = options.command == Command::kCreate ? "not replaced without --overwrite"
                                                              : "not replaced without --overwrite or --skip-existing";
        Report(target, "exists", how, UUARC_STATUS_REPLACE_REFUSED);
        return kExitKept;
    }
    if (info.is_directory) {
        Report(target, "not replaced", "it is a directory", UUARC_STATUS_REPLACE_REFUSED);
        return kExitKept;
    }
    // A link, a FIFO or a device stays what it is: only a regular file is replaced.
    if (info.is_link || !info.is_regular) {
        Report(target, "not replaced", info.is_link ? "it is a symbolic link" : "it is not a regular file",
               UUARC_STATUS_REPLACE_REFUSED);
        return kExitKept;
    }
    if (SameFile(source, target)) {
        if (options.command != Command::kCreate) {
            Report(target, "not replaced", "it is the archive itself", UUARC_STATUS_REPLACE_REFUSED);
            return kExitKept;
        }
        Report(target, "creation refused", "the target is the source itself", UUARC_STATUS_CREATE_REFUSED);
        return kExitCreateRefused;
    }
    // As for the module's own question, a "no" keeps the file and counts as success.
    if (ask) {
        ProgressHide();
        std::fprintf(stderr, "%s exists\n  existing: %" PRId64 " bytes\n  from:     %" PRId64 " bytes, %s\n",
                     Shown(target).c_str(), info.size, QueryPath(source).size, Shown(source_shown).c_str());
        if (!AskYesNo("replace " + Shown(target) + "?")) {
            Say(Shown(target) + " exists, skipped");
            return kExitOk;
        }
    }
    if (!IdentifyReplaced(target, found.identity, found.in_place)) {
        Report(target, "not replaced", "it is not a regular file", UUARC_STATUS_REPLACE_REFUSED);
        return kExitKept;
    }
    found.exists = true;
    return -1;
}

bool PrepareWriteBeside(const std::string& target, Replacement& replacement, std::string& error,
                        const char* stand_in_name) {
    replacement = Replacement{};
    replacement.target = target;
    std::string folder;
    if (!MakePrivateFolderBeside(target, folder, error)) {
        error = "cannot make a private folder beside it: " + error;
        return false;
    }
    replacement.folder_id = Remember(LeftoverKind::kFolder, folder);
    if (replacement.folder_id == kNoLeftover) {
        RemoveFolderNow(folder.c_str());
        error = "the path is too long to be cleaned up after";
        return false;
    }
    replacement.folder = folder;
    replacement.target_new = !QueryPath(target).exists;
    if (stand_in_name == nullptr) return true;
    // A short name, so that the module takes the path wherever it takes the target's.
    replacement.stand_in = folder + kPathSeparator + stand_in_name;
    replacement.stand_in_id = Remember(LeftoverKind::kPrivateFile, replacement.stand_in);
    if (replacement.stand_in_id == kNoLeftover) {
        AbandonReplacement(replacement);
        error = "the path is too long to be cleaned up after";
        return false;
    }
    return true;
}

void TakeStandIn(Replacement& replacement, const std::string& path, LeftoverId id) {
    Settle(replacement.stand_in_id);
    replacement.stand_in = path;
    replacement.stand_in_id = id;
}

void PrepareOverwriteInPlace(const std::string& target, const FileIdentity& identity, const std::string& stand_in,
                             Replacement& replacement) {
    replacement = Replacement{};
    replacement.target = target;
    replacement.stand_in = stand_in;
    replacement.in_place = true;
    replacement.target_identity = identity;
}

ReplaceResult CompleteReplacement(Replacement& replacement, std::string& error) {
    if (replacement.in_place) {
        FileIdentity identity;
        bool lost = false;
        const bool ok = IdentifyOwnFile(replacement.stand_in, false, identity) &&
                        OverwriteInPlace(replacement.stand_in, identity, replacement.target,
                                         replacement.target_identity, lost, error);
        if (!ok && error.empty()) error = "the new file is not the one this run wrote";
        replacement = Replacement{};
        return ok ? ReplaceResult::kDone : lost ? ReplaceResult::kLost : ReplaceResult::kKept;
    }
    if (replacement.stand_in_id == kNoLeftover) return ReplaceResult::kDone;
    // Interrupts wait: the handler finds the new file either in the private folder or in place.
    HoldInterrupts();
    FileIdentity identity;
    bool ok = IdentifyLeftover(replacement.stand_in_id, false) && LeftoverIdentity(replacement.stand_in_id, identity);
    if (!ok) {
        error = "the new file is not the one this run wrote";
    } else {
        ok = InstallOwnFile(replacement.stand_in, identity, replacement.target, replacement.target_new, error);
    }
    if (ok) Forget(replacement.stand_in_id);
    AbandonReplacement(replacement);
    ReleaseInterrupts();
    return ok ? ReplaceResult::kDone : ReplaceResult::kKept;
}

void AbandonReplacement(Replacement& replacement) {
    Settle(replacement.stand_in_id);
    Settle(replacement.folder_id);
    replacement = Replacement{};
}

}  // namespace uuarc_host
