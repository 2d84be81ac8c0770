// standard_streams.cpp - the copies and the scratch folders of standard_streams.h.
#include "host/standard_streams.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "host/console.h"
#include "host/exit_codes.h"
#include "host/options.h"
#include "host/system.h"
#include "uuarc.h"

namespace uuarc_host {

namespace {

// The pieces that standard input and the decoded file are copied in: a mebibyte, as the module
// reads and writes; in 64 KiB pieces the copies took a fifth longer.
constexpr size_t kCopyBlock = 1024 * 1024;

bool g_stdout_failed = false;

// errno's words, or a general one when a stream failed without setting errno.
std::string ErrnoText(int error) { return error != 0 ? std::strerror(error) : "input/output error"; }

enum class CopyFault { kNone, kRead, kWrite };

// Copies `from` to its end into `to`; what failed, with errno set by it.
CopyFault Copy(std::FILE* from, std::FILE* to) {
    std::vector<char> block(kCopyBlock);
    for (;;) {
        errno = 0;
        const size_t got = std::fread(block.data(), 1, block.size(), from);
        if (got > 0 && std::fwrite(block.data(), 1, got, to) != got) return CopyFault::kWrite;
        if (got < block.size()) return std::ferror(from) ? CopyFault::kRead : CopyFault::kNone;
    }
}

}  // namespace

bool MakeScratch(Scratch& scratch, int& code) {
    if (!scratch.folder.empty()) return true;
    std::string folder, error;
    if (!MakePrivateFolder(folder, error)) {
        Complain("cannot make a temporary folder: " + Shown(error));
        code = kExitCannotOpen;
        return false;
    }
    scratch.folder_id = Remember(LeftoverKind::kFolder, folder);
    scratch.folder = folder;
    if (scratch.folder_id == kNoLeftover) {
        RemoveFolderNow(folder.c_str());
        Complain(Shown(folder) + ": the temporary folder's name is too long");
        code = kExitOther;
        return false;
    }
    return true;
}

bool RememberScratchFile(Scratch& scratch, const std::string& path, int& code) {
    for (LeftoverId& id : scratch.file_ids) {
        if (id != kNoLeftover) continue;
        id = Remember(LeftoverKind::kPrivateFile, path);
        if (id != kNoLeftover) return true;
        break;
    }
    Complain(Shown(path) + ": cannot keep track of the temporary file");
    code = kExitOther;
    return false;
}

void SettleScratch(Scratch& scratch) {
    for (LeftoverId& id : scratch.file_ids) Settle(id);
    Settle(scratch.folder_id);
    scratch = Scratch{};
}

bool CopyIntoScratch(std::FILE* from, const std::string& shown, Scratch& scratch, const std::string& name,
                     std::string& path, int& code) {
    if (!MakeScratch(scratch, code)) return false;
    path = scratch.folder + kPathSeparator + name;
    if (!RememberScratchFile(scratch, path, code)) return false;
    std::FILE* to = CreatePrivateFile(path);
    if (to == nullptr) {
        Report(path, "cannot create", SystemErrorText(), -1);
        code = kExitCannotOpen;
        return false;
    }
    const CopyFault fault = Copy(from, to);
    const int copy_error = errno;
    errno = 0;
    const bool closed = std::fclose(to) == 0;
    if (fault == CopyFault::kRead) {
        Report(shown, "cannot read", ErrnoText(copy_error), -1);
        code = kExitCannotOpen;
        return false;
    }
    if (fault == CopyFault::kWrite || !closed) {
        Report(path, "cannot write", ErrnoText(fault == CopyFault::kWrite ? copy_error : errno), -1);
        code = kExitWriteFailed;
        return false;
    }
    return true;
}

bool PrepareArchive(const std::string& operand, ArchiveInput& input, int& code) {
    input = ArchiveInput{};
    input.shown = operand == kStandardStream ? kStandardInputName : operand;
    input.path = operand;
    if (operand != kStandardStream) return true;
    SetBinaryMode(stdin);
    return CopyIntoScratch(stdin, input.shown, input.scratch, "standard-input.uue", input.path, code);
}

bool CopyRefusedArchive(ArchiveInput& input, int& code) {
    code = -1;
    if (!input.scratch.folder.empty()) return false;  // a copy already
    const PathInfo info = QueryPath(input.path);
    if (!info.exists || info.is_regular || info.is_directory) return false;
    // A device is read only as the run's own standard input: /dev/zero would be copied until
    // the disk is full.
    if (info.is_device && !IsStandardInput(input.path)) {
        Report(input.shown, "cannot open", "it is a device, which is read as an archive only as standard input",
               UUARC_STATUS_CANNOT_OPEN);
        code = kExitCannotOpen;
        return false;
    }
    // A pipe, a FIFO or standard input: the module reads an archive more than once.
    std::FILE* from = std::fopen(input.path.c_str(), "rb");
    if (from == nullptr) return false;  // the module's refusal says why
    const bool copied = CopyIntoScratch(from, input.shown, input.scratch, "archive.uue", input.path, code);
    std::fclose(from);
    return copied;
}

bool CopyToStandardOutput(const std::string& path, int& code) {
    std::FILE* from = std::fopen(path.c_str(), "rb");
    if (from == nullptr) {
        Report(path, "cannot open", ErrnoText(errno), -1);
        code = kExitCannotOpen;
        return false;
    }
    SetBinaryMode(stdout);
    const CopyFault fault = Copy(from, stdout);
    const int copy_error = errno;
    std::fclose(from);
    if (fault == CopyFault::kRead) {
        Report(path, "cannot read", ErrnoText(copy_error), -1);
        code = kExitCannotOpen;
        return false;
    }
    if (fault == CopyFault::kWrite) {
        if (!g_stdout_failed) Report(kStandardOutputName, "cannot write", ErrnoText(copy_error), -1);
        g_stdout_failed = true;
        code = kExitWriteFailed;
        return false;
    }
    if (!FlushStandardOutput()) {
        code = kExitWriteFailed;
        return false;
    }
    return true;
}

bool FlushStandardOutput() {
    if (g_stdout_failed) return false;
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    // Said once: whatever is written later fails the same way.
    Report(kStandardOutputName, "cannot write", ErrnoText(errno), -1);
    g_stdout_failed = true;
    return false;
}

bool StandardOutputFailed() { return g_stdout_failed; }

void StandardOutputLost() { g_stdout_failed = true; }

}  // namespace uuarc_host
