// create.cpp - CompressFileMaskListArc and the encoder that writes the new file.
#include "operations/create.h"

#include <algorithm>
#include <cinttypes>
#include <initializer_list>
#include <cstdio>
#include <cstring>

#include "format/alphabet.h"
#include "format/format.h"
#include "format/header.h"
#include "format/line_codec.h"
#include "names/strings.h"
#include "operations/notify.h"
#include "operations/output_file.h"
#include "shared/stored_names.h"
#include "uuarc_status.h"

namespace uuarc {

namespace {

constexpr size_t kBuiltPathSize = 350;


// Appends `text` to the string in `buffer` (`size` bytes); false, leaving it cut, when it does
// not fit.
bool Append(char* buffer, size_t size, const char* text) {
    const size_t used = strnlen(buffer, size);
    const size_t length = std::strlen(text);
    if (used + length >= size) return false;
    std::memcpy(buffer + used, text, length + 1);
    return true;
}

bool WriteText(Stream& target, const char* text) {
    const size_t length = std::strlen(text);
    return StreamWrite(target, text, length) == length;
}

// The source's last component, split off in the ANSI code page, into `component` (512 bytes).
void LastComponent(const char* source_path, char* component) {
    char name[256];
    char extension[256];
    SplitPathParts(source_path, nullptr, nullptr, name, extension);
    std::snprintf(component, 2 * 256, "%s%s", name, extension);
}

// Whether the name that the path split gives (LastComponent) is the file's own, all that follows
// the path's last separator (and, on Windows, its drive). It is not for a name that ends in a
// dot, whose empty extension the split drops, and outside Windows for a name with a ':', which
// the split takes for a drive's and extraction refuses: such names would not come back.
bool NameSplitsWhole(const char* source_path, const char* component) {
    const char* name = source_path;
    for (const char* p = source_path; *p != '\0'; ++p) {
#if defined(_WIN32)
        if (*p == ':') name = p + 1;
#endif
        if (*p == '\\' || *p == '/') name = p + 1;
    }
    return std::strcmp(name, component) == 0;
}

// The name in the header and the begin line, into `stored` (kStoredNameSize bytes): the source's
// last component in OEM, or in UTF-8 where OEM has no exact form for it (MakeStoredName).
void MakeHeaderName(const char* source_path, char* stored) {
    char component[2 * 256];
    LastComponent(source_path, component);
    MakeStoredName(component, stored, kStoredNameSize);
}

}  // namespace

bool IsDirectory(const char* path) {
    uint32_t attributes = 0;
    return PathAttributes(path, &attributes) && (attributes & kAttrDirectory) != 0;
}

namespace {

// Runs of whole 45-byte blocks straight from the source's buffer into the target's, written as
// line by line (see EncodeFullLines). The runs keep to what the line loop does: a run ends at the
// block after which a progress report is due, and at the last line that the target's buffer
// takes before the loop would flush it, so that the reports and the writes come where they came.
void PutFullLines(Job& job, Stream& source, Stream& target, ProgressPacer& progress) {
    const std::string_view line_end = target.text ? "\r\n" : "\n";
    const size_t line_length = kMaxEncodedLine - 1 + line_end.size();
    for (;;) {
        const std::span<const uint8_t> bytes = StreamBuffered(source);
        const size_t room = StreamRoom(target);
        if (room < line_length || bytes.size() < kBytesPerLine) return;
        const size_t lines = std::min({kFullLinesAtOnce, bytes.size() / kBytesPerLine,
                                       static_cast<size_t>(BytesBeforeReport(progress)) / kBytesPerLine + 1,
                                       (room - line_length) / line_length + 1});
        char* out = reinterpret_cast<char*>(StreamSpace(target, lines * line_length));  // never flushes
        const size_t written = EncodeFullLines(*job.alphabet, bytes.data(), lines, out, line_end);
        StreamCommitAsIs(target, written);
        StreamSkip(source, lines * kBytesPerLine);
        AdvanceProgress(job, progress, static_cast<int64_t>(lines * kBytesPerLine));
    }
}

}  // namespace

int64_t EncodeFileBody(Job& job, Stream& source, Stream& target, const char* header_name, int64_t size) {
    char begin_line[kStoredNameSize + 16];
    std::snprintf(begin_line, sizeof begin_line, "begin %s %s\n", kBeginMode, header_name);
    WriteText(target, begin_line);

    ProgressPacer progress = StartProgress(size, size / 100);

    uint8_t block[kBytesPerLine];
    // A source that grows while it is read is not read to its new end: past the size stated, the
    // file is wrong whatever follows.
    while (progress.done <= size) {
        // A full block is encoded where the source holds it, straight into the target's buffer.
        std::span<const uint8_t> bytes = StreamNextBytes(source, block, sizeof block);
        const size_t count = bytes.size();
        if (count == 0) break;  // the end of the file, or a read error: both end the data
        if (count < sizeof block) {
            // A short last block goes into ours, for the zero filler of its last group.
            std::memmove(block, bytes.data(), count);
            std::memset(block + count, 0, sizeof block - count);
            bytes = std::span<const uint8_t>(block, count);
        }
        char* line = reinterpret_cast<char*>(StreamSpace(target, kMaxEncodedLine));
        const int length = EncodeLine(*job.alphabet, bytes.data(), line, static_cast<int>(count));
        if (!StreamCommit(target, static_cast<size_t>(length))) {
            SetStatus(job, kStatusWriteFailed);
            return progress.done;
        }
        AdvanceProgress(job, progress, static_cast<int64_t>(count));
        PutFullLines(job, source, target, progress);
    }
    const char end[] = {ActiveAlphabet(*job.alphabet)[0], '\n', 'e', 'n', 'd', '\n', '\0'};
    WriteText(target, end);
    return progress.done;
}

namespace {

// Names the files to the host, makes sure the target may be written and asks about replacing it,
// and opens it; a sink (`to_sink`: the target is its spelling) is opened as it is, with nothing to
// ask. False (the status says why) when no target is open.
bool OpenTarget(Job& job, const char* source_path, const char* target_path, int64_t estimate, bool to_sink) {
    NotifyFileName(job, source_path, target_path);
    if (to_sink) {
        OpenOutputSink(job, "wt");
        return StreamIsOpen(*job.output);
    }
    // Mostly nothing is there yet, and the file is made at once, with nothing to ask about.
    const size_t trusted = std::strlen(target_path);
    if (OpenNewOutputFile(job, target_path, "wt", trusted)) return true;
    // A directory, a link or a device at the target is never written, nor a name that ends in a
    // separator.
    if (!OutputPathWritable(job, target_path, trusted)) {
        SetStatus(job, kStatusCannotOpen);
        return false;
    }
    if (ConfirmReplace(job, target_path, estimate) != 0) {
        SetStatus(job, kStatusReplaceRefused);
        return false;
    }
    OpenOutputFile(job, target_path, "wt");
    if (!StreamIsOpen(*job.output)) {
        SetStatus(job, kStatusCannotOpen);
        return false;
    }
    return true;
}

// The header, the begin line, the data lines, the end and the closing cut line. Returns the
// number of source bytes encoded.
int64_t WriteEncodedText(Job& job, const char* source_path, int64_t size, int64_t estimate) {
    Stream& target = *job.output;
    char header_name[kStoredNameSize];
    MakeHeaderName(source_path, header_name);

    char header[2 * kStoredNameSize + 160];
    std::snprintf(header, sizeof header,
                  "\n%12s:  decoded size: %" PRId64 "\n"
                  "%12s   encoded size: %" PRId64 " (~)\n"
                  "\n%-12s   section %2d/%-2d%s\n\n",
                  header_name, size, " ", estimate, header_name, 1, 1, kBanner);
    WriteText(target, header);
    WriteText(target, kBeginCut);
    const int64_t encoded = EncodeFileBody(job, *job.input, target, header_name, size);
    WriteText(target, kEndCut);
    return encoded;
}

// The number of bytes that the source holds, which the header states before they are read. The
// system does not report every file's size truly (a /proc or sysfs file: 0, or 4096 for 18
// bytes), so a source that the stream's buffer holds to its end is counted there; a longer one
// has the size the system reports, and must hold it to the end (EncodeFileBody's count tells).
// -1 when the buffer holds more than that size already, or a read fails.
int64_t MeasureSource(Stream& source) {
    const int64_t reported = StreamLength(source);
    const bool whole = StreamBufferAll(source);
    const auto buffered = static_cast<int64_t>(StreamBuffered(source).size());
    if (whole) return buffered;
    return StreamFailed(source) || reported < buffered ? -1 : reported;
}

// Ends a creation whose source did not hold the size that the header states: no new file stays.
// A new target goes, a file written beside the old one is dropped; a file overwritten in place
// keeps what was written, its old content being gone already.
void DropTarget(Job& job) {
    PendingOutput& pending = job.pending;
    if (pending.way != OutputWay::New) {
        FinishOutputFile(job, false);
        return;
    }
    StreamClose(*job.output);
    RemoveFile(pending.target, pending.folder);
    pending.way = OutputWay::None;
    ReleaseOutputFolder(job);
}

}  // namespace

int WriteEncodedFile(Job& job, const char* source_path, const char* target_path, bool to_sink) {
    if (!StreamOpen(*job.input, source_path, "rb")) {
        SetStatus(job, kStatusCannotOpen);
        return -1;
    }
    Stream& source = *job.input;
    const int64_t size = MeasureSource(source);
    if (size < 0) {
        if (!StreamFailed(source)) NotifySourceChanged(job, static_cast<int64_t>(StreamBuffered(source).size()));
        SetStatus(job, kStatusCannotOpen);
        StreamClose(source);
        return -1;
    }
    const int64_t estimate = EstimateEncodedSize(size);
    const bool opened = OpenTarget(job, source_path, target_path, estimate, to_sink);
    if (opened) {
        const int64_t encoded = WriteEncodedText(job, source_path, size, estimate);
        if (*job.status == kStatusOk && (encoded != size || StreamFailed(source))) {
            // The source changed while it was read, or could not be read to its end: the header
            // is wrong, and the file is not left behind.
            if (!StreamFailed(source)) NotifySourceChanged(job, encoded);
            SetStatus(job, kStatusCannotOpen);
            DropTarget(job);
        } else {
            // A header or trailer that never reached the disk is a failed write as much as a data
            // line. A file that replaces another takes its name only when it is whole.
            const bool written = *job.status == kStatusOk;
            if (!FinishOutputFile(job, written) && written) SetStatus(job, kStatusWriteFailed);
        }
    } else {
        ReleaseOutputFolder(job);
    }
    StreamClose(source);
    return opened ? 0 : -1;
}

void CreateEncodedArchive(Job& job, const char* source_path, const char* target_path) {
    SetStatus(job, kStatusOk);
    ResetDefaultAlphabet(*job.alphabet);
    // An encoded target is replaced only where the host says that its user asked for that.
    bool replaces_encoded = false;
#if defined(UUARC_OPTION_REPLACE_ENCODED)
    replaces_encoded = (job.settings->options & UUARC_OPTION_REPLACE_ENCODED) != 0;
#endif
    if (ProbeArchiveHeader(*job.alphabet, *job.input, target_path) == kStatusOk && !replaces_encoded) {
        SetStatus(job, kStatusCreateRefused);
        return;
    }
    // A table block that the probe met in the target must not change what is written.
    ResetDefaultAlphabet(*job.alphabet);
    // The target first: where nothing is there, the source is not asked about.
    if (SameFile(target_path, source_path)) {
        SetStatus(job, kStatusCreateRefused);
        return;
    }
    WriteEncodedFile(job, source_path, target_path, false);
}

void RunCreation(Job& job, const FileMaskList* list) {
    SetStatus(job, kStatusOk);
    const HostSettings& settings = *job.settings;
    if (settings.new_archive == 0) {
        SetStatus(job, kStatusCreateRefused);
        return;
    }
    if (list == nullptr || list->head == nullptr) return;
    if (list->head->next != nullptr) {
        SetStatus(job, kStatusTooManyMasks);
        return;
    }
    const FileMask& mask = *list->head;
    // An unnamed new archive goes to the output that the host named, where it named one: the
    // output file, or a sink (its spelling stands for the target).
    const char* target = settings.archive_path;
    const bool unnamed = target[0] == '\0' && !settings.output_path_refused;
    const bool to_sink = unnamed && IsStreamSink(settings.sink);
    if (unnamed && (settings.sink == OutputSink::NamedFile || to_sink)) target = settings.output_path;
    const bool prefixed = (settings.options & UUARC_OPTION_NO_SOURCE_PREFIX) == 0;
    // A prefix that the host gave too long is not replaced by an older one.
    if (prefixed && settings.source_prefix_refused) {
        SetStatus(job, kStatusCannotOpen);
        return;
    }

    char source_path[kBuiltPathSize] = {};
    char relative[kBuiltPathSize] = {};
    if (settings.source_prefix[0] != '\0' && prefixed) {
        Append(source_path, sizeof source_path, settings.source_prefix);
    }
    bool fits = true;
    for (char* built : {source_path, relative}) {
        if (mask.directory != nullptr && mask.directory[0] != '\0') fits &= Append(built, kBuiltPathSize, mask.directory);
        if (mask.name[0] != '\0') fits &= Append(built, kBuiltPathSize, mask.name);
        if (mask.extension[0] != '\0') {
            fits &= Append(built, kBuiltPathSize, ".");
            fits &= Append(built, kBuiltPathSize, mask.extension);
        }
    }
    // Paths that the platform cannot take are refused before anything is opened or made.
    if (!fits || std::strlen(source_path) > kMaxOutputPath || std::strlen(target) > kMaxOutputPath) {
        SetStatus(job, kStatusCannotOpen);
        return;
    }
    // Only a name that comes back is stored: a begin line cannot carry a line end or another
    // control byte, readers drop blanks at its ends, and a line is read 254 characters at a time;
    // an empty name is no begin line's. Refused before anything is made.
    char component[2 * 256];
    LastComponent(source_path, component);
    char stored[kStoredNameSize];
    MakeHeaderName(source_path, stored);
    if (component[0] == '\0' || CreationNameRule(component) != NameRule::kNone ||
        std::strlen(stored) > UUARC_MAX_STORED_NAME || !NameSplitsWhole(source_path, component)) {
        SetStatus(job, kStatusCannotOpen);
        return;
    }

    char entry_name[kBuiltPathSize + 1] = "\\";
    Append(entry_name, sizeof entry_name, relative);
    NotifyFileName(job, source_path, entry_name);
    if (IsDirectory(source_path)) {
        SetStatus(job, kStatusSourceIsDirectory);
        return;
    }
    // A sink holds no file that could be encoded already or be the source.
    if (to_sink) {
        ResetDefaultAlphabet(*job.alphabet);
        WriteEncodedFile(job, source_path, target, true);
        return;
    }
    CreateEncodedArchive(job, source_path, target);
}

}  // namespace uuarc
