// output_file.cpp - replace question, the directory-creating open and the replacing of a file.
#include "operations/output_file.h"

#include <cstdio>
#include <cstring>

#include "names/strings.h"
#include "operations/facts.h"
#include "operations/notify.h"
#include "uuarc_status.h"

namespace uuarc {

namespace {

// How many names beside the target are tried for the new file before the open gives up.
constexpr int kTemporaryNameTries = 16;

// The new file that replaces `target`: "~uu" and five hex digits in place of its last component,
// so that it lies in the same directory (a rename never crosses a volume) and no name of the
// host's is taken.
bool MakeTemporaryName(const char* target, int attempt, char* out, size_t size) {
    const char* last = target;
    for (const char* p = target; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/' || (kDrivesAndStreams && *p == ':')) last = p + 1;
    }
    FileTime now;
    SystemTimeAsFileTime(&now);
    const unsigned tag = (now.low / 10 + static_cast<unsigned>(attempt) * 0x9E37u) & 0xFFFFFu;
    const int written = std::snprintf(out, size, "%.*s~uu%05x", static_cast<int>(last - target), target, tag);
    return written > 0 && static_cast<size_t>(written) < size;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// What the walk down to an output's directory found.
enum class Walk { Opened, Missing, Refused };

// Makes the host's own directories of `folder` (a path that ends in a separator, or empty) one
// component at a time, as the path resolves. A drive such as C: and the empty first component of
// "\x" are never made. False when one is missing and cannot be made.
bool MakeTrustedDirectories(char* folder, size_t length) {
    for (size_t end = 0; end < length; ++end) {
        if (!IsSeparator(folder[end]) || end == 0 || (kDrivesAndStreams && folder[end - 1] == ':')) continue;
        const char separator = folder[end];
        folder[end] = '\0';
        const bool there = FileExists(folder) || MakeDirectory(folder);
        folder[end] = separator;
        if (!there) return false;
    }
    return true;
}

// Opens the directory that `path` goes in: first the folder of its first `trusted` bytes, then
// each directory below it, relative to the one above and never through a link. With `make`,
// missing directories are made on the way. The handle is in `folder` when Opened.
Walk WalkToFolder(const char* path, size_t trusted, bool make, FileHandle* folder) {
    *folder = kNoHandle;
    char built[kOutputNameSize];
    const size_t length = strnlen(path, sizeof built);
    if (length >= sizeof built) return Walk::Refused;
    std::memcpy(built, path, length + 1);
    size_t last = 0;  // just past the last separator: where the file name begins
    size_t host_end = 0;
    for (size_t i = 0; i < length; ++i) {
        if (!IsSeparator(built[i])) continue;
        last = i + 1;
        if (i < trusted) host_end = i + 1;
    }

    // The host's folder, taken as it is.
    char saved = built[host_end];
    built[host_end] = '\0';
    FileHandle current = OpenFolder(built, true);
    if (current == kNoHandle && make && MakeTrustedDirectories(built, host_end)) current = OpenFolder(built, true);
    const bool host_folder_absent = current == kNoHandle && !PathExists(built);
    built[host_end] = saved;
    if (current == kNoHandle) return host_folder_absent && !make ? Walk::Missing : Walk::Refused;

    // The directories from the stored name, one at a time.
    for (size_t begin = host_end; begin < last;) {
        size_t end = begin;
        while (!IsSeparator(built[end])) ++end;
        if (end > begin) {
            saved = built[end];
            built[end] = '\0';
            FileHandle next = OpenFolder(built, false, current);
            if (next == kNoHandle && make && MakeDirectory(built, current)) next = OpenFolder(built, false, current);
            FileInfo info;
            const bool absent = next == kNoHandle && !PathInfo(built, &info, current);
            built[end] = saved;
            CloseFileHandle(current);
            if (next == kNoHandle) return absent && !make ? Walk::Missing : Walk::Refused;
            current = next;
        }
        begin = end + 1;
    }
    *folder = current;
    return Walk::Opened;
}

// The bits a new file is made with: the mode's, and its owner's reading and writing while it is
// written (FinishOutputFile takes away what the mode does not give); null for 0666 less the umask.
const FileInfo* NewFileBits(const PendingOutput& pending, FileInfo& like) {
    like.permissions = (static_cast<uint32_t>(pending.new_mode) | 0600) & 0777;
    return pending.new_mode >= 0 ? &like : nullptr;
}

// The private file that takes the new content of a file to be written in place: without a name,
// in the output's directory where names may be made there, else in the system's temporary folder.
bool CreatePrivateCopy(Job& job, const char* path, const char* mode) {
    PendingOutput& pending = job.pending;
    char temporary_folder[kOutputNameSize];
    const bool beside = FolderWritable(pending.folder);
    const bool elsewhere = SystemTemporaryFolder(temporary_folder, sizeof temporary_folder);
    for (int place = beside ? 0 : 1; place < (elsewhere ? 2 : 1); ++place) {
        for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
            // Made in the folder the name is in (a named one loses its name at once).
            if (!MakeTemporaryName(place == 0 ? path : temporary_folder, attempt, pending.temporary,
                                   sizeof pending.temporary))
                break;
            if (StreamCreate(*job.output, pending.temporary, mode, OpenHow::CreatePrivate, nullptr,
                             place == 0 ? pending.folder : kNoHandle))
                return true;
        }
    }
    return false;
}

// The bytes for an existing file go to a new one, made with its permissions (or with those that
// the reset to "archive" gives after the host's yes) and its owner, or, where a rename would make
// another file of it, to a private file that is copied over it at the end (see output_file.h).
void CreateReplacement(Job& job, const char* path, const char* mode, const FileInfo& existing) {
    PendingOutput& pending = job.pending;
    Stream& output = *job.output;
    // Without a yes the file is replaced only when it could be written as it is.
    if (!pending.agreed && !FileWritable(path, pending.folder)) return;
    FileInfo like = existing;
    like.permissions &= 0777;
    if (pending.agreed) {
        like.attributes = kAttrArchive;
        like.permissions |= 0200;
    }
    if (existing.links > 1 || !FolderWritable(pending.folder)) {
        if (CreatePrivateCopy(job, path, mode)) {
            pending.way = OutputWay::InPlace;
            pending.replaced = like;
        }
        return;
    }
    if (StreamCreate(output, path, mode, OpenHow::CreateUnnamed, &like, pending.folder)) {
        pending.way = OutputWay::BesideUnnamed;
        return;
    }
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        if (!MakeTemporaryName(path, attempt, pending.temporary, sizeof pending.temporary)) return;
        if (StreamCreate(output, pending.temporary, mode, OpenHow::CreateLike, &like, pending.folder)) {
            pending.way = OutputWay::Beside;
            return;
        }
    }
}

// Names the unnamed output file `temporary` beside the target, trying as many names as the
// creation of a named one would. False when none could be taken.
bool LinkBeside(Job& job) {
    PendingOutput& pending = job.pending;
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        if (!MakeTemporaryName(pending.target, attempt, pending.temporary, sizeof pending.temporary)) return false;
        if (LinkFile(job.output->handle, pending.temporary, pending.folder)) return true;
    }
    return false;
}

}  // namespace

void ReleaseOutputFolder(Job& job) {
    CloseFileHandle(job.pending.folder);
    job.pending.folder = kNoHandle;
}

bool OutputPathWritable(Job& job, const char* path, size_t trusted) {
    ReleaseOutputFolder(job);
    job.pending.trusted = trusted;
    const size_t length = std::strlen(path);
    if (length == 0 || IsSeparator(path[length - 1])) return false;
    FileHandle folder = kNoHandle;
    const Walk walk = WalkToFolder(path, trusted, false, &folder);
    if (walk != Walk::Opened) return walk == Walk::Missing;
    job.pending.folder = folder;
    // A link is asked about as a file is, and never written through (OpenOutputFile).
    FileInfo info;
    if (!PathInfo(path, &info, folder) || info.kind == FileKind::Regular || info.kind == FileKind::Link) return true;
    ReleaseOutputFolder(job);
    return false;
}

int32_t ConfirmReplace(Job& job, const char* path, int64_t size_estimate) {
    PendingOutput& pending = job.pending;
    pending.agreed = false;
    pending.seen = false;
    FileInfo seen;
    FindData existing;
    // Nothing lies in a directory that is not there yet.
    if (pending.folder == kNoHandle || !PathInfo(path, &seen, pending.folder) ||
        !FindFile(path, &existing, pending.folder))
        return 0;
    pending.seen = true;
    pending.seen_volume = seen.volume;
    pending.seen_index = seen.index;
    if (!CanAskToReplace(job)) return 0;

    FindData incoming;
    std::memset(&incoming, 0, sizeof incoming);
    FileTime now;
    SystemTimeAsFileTime(&now);
    incoming.attributes = kAttrNormal;
    incoming.creation_time = now;
    incoming.last_access_time = now;
    incoming.last_write_time = now;
    incoming.size_high = static_cast<uint32_t>(static_cast<uint64_t>(size_estimate) >> 32);
    incoming.size_low = static_cast<uint32_t>(size_estimate);
    // Callers refuse longer paths, so the whole path always fits with its terminator.
    const size_t length = strnlen(path, sizeof incoming.file_name - 1);
    std::memcpy(incoming.file_name, path, length);
    incoming.file_name[length] = '\0';

    const int32_t answer = AskToReplace(job, &existing, &incoming);
    pending.agreed = answer == 0;
    if (answer != 0) ReleaseOutputFolder(job);
    return answer;
}

void OpenOutputFile(Job& job, const char* path, const char* mode) {
    PendingOutput& pending = job.pending;
    pending.way = OutputWay::None;
    SetStatus(job, kStatusCannotOpen);
    // Where the question found no directory, it is made now (and a file in it that the question
    // did not see is not written).
    if (pending.folder == kNoHandle && WalkToFolder(path, pending.trusted, true, &pending.folder) != Walk::Opened) {
        pending.folder = kNoHandle;
    }
    if (pending.folder != kNoHandle) {
        FileInfo existing;
        if (!PathInfo(path, &existing, pending.folder)) {
            FileInfo like;
            if (StreamCreate(*job.output, path, mode, OpenHow::CreateNew, NewFileBits(pending, like), pending.folder)) {
                pending.way = OutputWay::New;
                TellNewOutput(job, job.output->handle);
            }
        } else if (pending.seen && existing.kind == FileKind::Regular && existing.volume == pending.seen_volume &&
                   existing.index == pending.seen_index) {
            CreateReplacement(job, path, mode, existing);
        }
        // Anything else is not what the question was about.
    }
    pending.agreed = false;
    if (pending.way == OutputWay::None) {
        ReleaseOutputFolder(job);
        return;
    }
    std::snprintf(pending.target, sizeof pending.target, "%s", path);
    SetStatus(job, kStatusOk);
}

bool OpenNewOutputFile(Job& job, const char* path, const char* mode, size_t trusted) {
    PendingOutput& pending = job.pending;
    size_t name = 0;  // just past the last separator
    for (size_t i = 0; path[i] != '\0'; ++i) {
        if (IsSeparator(path[i])) name = i + 1;
    }
    FileInfo like;
    if (name > trusted || path[name] == '\0' ||
        !StreamCreate(*job.output, path, mode, OpenHow::CreateNew, NewFileBits(pending, like)))
        return false;
    pending.trusted = trusted;
    pending.way = OutputWay::New;
    TellNewOutput(job, job.output->handle);
    std::snprintf(pending.target, sizeof pending.target, "%s", path);
    return true;
}

void OpenOutputSink(Job& job, const char* mode) {
    PendingOutput& pending = job.pending;
    const OpenHow how =
        job.settings->sink == OutputSink::StandardOutput ? OpenHow::StandardOutput : OpenHow::NullDevice;
    const bool opened = StreamOpenSink(*job.output, how, mode);
    pending.way = opened ? OutputWay::Sink : OutputWay::None;
    SetStatus(job, opened ? kStatusOk : kStatusCannotOpen);
}

bool FinishOutputFile(Job& job, bool keep) {
    PendingOutput& pending = job.pending;
    Stream& output = *job.output;
    bool whole = true;
    switch (pending.way) {
        case OutputWay::New: {
            // Every byte goes in while the owner may still write the file; then it gets its mode,
            // which takes something away only where it lacks the owner's reading or writing.
            StreamFlush(output);
            const uint32_t bits = static_cast<uint32_t>(pending.new_mode) & 0777;
            const bool mode_set = pending.new_mode < 0 || (bits & 0600) == 0600 || KeepPermissions(output.handle, bits);
            whole = StreamClose(output) && mode_set;
            break;
        }
        case OutputWay::None:
            whole = StreamClose(output);
            break;
        case OutputWay::InPlace: {
            // The new content is whole: only now is the old file cut and written over.
            if (keep) whole = StreamCopyOver(output, pending.target, pending.replaced, pending.folder);
            whole = StreamClose(output) && whole;
            break;
        }
        case OutputWay::Sink:
            whole = StreamFlush(output);
            NotifyBytesDelivered(job, StreamPosition(output));
            whole = StreamClose(output) && whole;
            break;
        case OutputWay::BesideUnnamed: {
            // Linked in beside the target only once every byte is written; a rename can then
            // replace the target, which a link cannot.
            const bool flushed = StreamFlush(output);
            const bool linked = keep && flushed && LinkBeside(job);
            whole = StreamClose(output) && flushed;
            if (!(keep && linked && whole && RenameReplacing(pending.temporary, pending.target, pending.folder))) {
                if (linked) RemoveFile(pending.temporary, pending.folder);
                if (keep) whole = false;
            }
            break;
        }
        case OutputWay::Beside:
            whole = StreamClose(output);
            if (!(keep && whole && RenameReplacing(pending.temporary, pending.target, pending.folder))) {
                RemoveFile(pending.temporary, pending.folder);
                if (keep) whole = false;
            }
            break;
    }
    pending.way = OutputWay::None;
    ReleaseOutputFolder(job);
    return whole;
}


}  // namespace uuarc
