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

void IdentifyStandIn(const Replacement& replacement) { IdentifyLeftover(replacement.stand_in_id, false); }

bool CompleteReplacement(Replacement& replacement, std::string& error) {
    if (replacement.stand_in_id == kNoLeftover) return true;
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
    return ok;
}

void AbandonReplacement(Replacement& replacement) {
    Settle(replacement.stand_in_id);
    Settle(replacement.folder_id);
    replacement = Replacement{};
}

}  // namespace uuarc_host
