// replace.cpp - the replacements of replace.h.
#include "host/replace.h"

#include "host/system.h"

namespace uuarc_host {

namespace {

// "DIR/.NAME.uuarc-N" beside `target` for the first N that is free.
std::string FreeNameBeside(const std::string& target, const char* purpose) {
    size_t slash = target.find_last_of(kPathSeparator == '\\' ? "\\/" : "/");
    std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    for (int n = 0;; ++n) {
        std::string candidate = folder + "." + name + "." + purpose + "-" + std::to_string(n);
        if (!QueryPath(candidate).exists) return candidate;
    }
}

}  // namespace

bool PrepareWriteBeside(const std::string& target, Replacement& replacement, std::string& error) {
    replacement = Replacement{};
    replacement.target = target;
    replacement.stand_in = FreeNameBeside(target, "uuarc-new");
    replacement.leftover = Remember(LeftoverKind::kFile, replacement.stand_in);
    if (replacement.leftover == kNoLeftover) {
        error = "the path is too long to be cleaned up after";
        return false;
    }
    return true;
}

bool MoveAside(const std::string& target, Replacement& replacement, std::string& error) {
    replacement = Replacement{};
    replacement.target = target;
    replacement.stand_in = FreeNameBeside(target, "uuarc-old");
    // Remembered first, with interrupts held until the rename is done: the handler either sees
    // nothing moved or puts the file back.
    HoldInterrupts();
    replacement.leftover = Remember(LeftoverKind::kMovedAside, replacement.stand_in, target);
    bool moved = replacement.leftover != kNoLeftover && RenameReplacing(target, replacement.stand_in);
    if (!moved) {
        error = replacement.leftover == kNoLeftover ? "the path is too long to be cleaned up after"
                                                    : "cannot move it aside: " + SystemErrorText();
        Forget(replacement.leftover);
    }
    replacement.moved_aside = moved;
    ReleaseInterrupts();
    return moved;
}

bool CompleteReplacement(Replacement& replacement, std::string& error) {
    if (replacement.leftover == kNoLeftover) return true;
    bool ok = true;
    // The new file takes the old one's permission bits, as the module gives a file it replaces.
    if (replacement.moved_aside) {
        CopyPermissions(replacement.stand_in, replacement.target);
        KeepReplacement(replacement.leftover);
        Settle(replacement.leftover);
    } else {
        HoldInterrupts();
        CopyPermissions(replacement.target, replacement.stand_in);
        ok = RenameReplacing(replacement.stand_in, replacement.target);
        if (!ok) error = SystemErrorText();
        Settle(replacement.leftover);
        ReleaseInterrupts();
    }
    replacement = Replacement{};
    return ok;
}

void AbandonReplacement(Replacement& replacement) {
    Settle(replacement.leftover);
    replacement = Replacement{};
}

}  // namespace uuarc_host
