// replace.cpp - the replacement of replace.h.
#include "host/replace.h"

#include "host/system.h"

namespace uuarc_host {

bool PrepareWriteBeside(const std::string& target, Replacement& replacement, std::string& error) {
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
    // A short name, so that the module takes the path wherever it takes the target's.
    replacement.stand_in = folder + kPathSeparator + "new.uue";
    replacement.stand_in_id = Remember(LeftoverKind::kPrivateFile, replacement.stand_in);
    if (replacement.stand_in_id == kNoLeftover) {
        AbandonReplacement(replacement);
        error = "the path is too long to be cleaned up after";
        return false;
    }
    return true;
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
        ok = InstallOwnFile(replacement.stand_in, identity, replacement.target, error);
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
