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

void EncodeFileBody(Job& job, Stream& source, Stream& target, const char* header_name) {
    const int64_t size = StreamLength(source);
    char begin_line[kStoredNameSize + 16];
    std::snprintf(begin_line, sizeof begin_line, "begin %s %s\n", kBeginMode, header_name);
    WriteText(target, begin_line);

    ProgressPacer progress = StartProgress(size, size / 100);

    uint8_t block[kBytesPerLine];
    for (;;) {
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
            return;
        }
        AdvanceProgress(job, progress, static_cast<int64_t>(count));
        PutFullLines(job, source, target, progress);
    }
    const char end[] = {ActiveAlphabet(*job.alphabet)[0], '\n', 'e', 'n', 'd', '\n', '\0'};
    WriteText(target, end);
}

namespace {

// Names the files to the host, makes sure the target may be written and asks about replacing it,
// and opens it. False (the status says why) when no target is open.
bool OpenTarget(Job& job, const char* source_path, const char* target_path, int64_t estimate) {
    NotifyFileName(job, source_path, target_path);
    // A directory, a link or a device at the target is never written, nor a name that ends in a
    // separator.
    if (!OutputPathWritable(job, target_path, std::strlen(target_path))) {
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

// The header, the begin line, the data lines, the end and the closing cut line.
void WriteEncodedText(Job& job, const char* source_path, int64_t size, int64_t estimate) {
    Stream& target = *job.output;
    // The name in the header and the begin line: the source's last component, split off in the
    // ANSI code page and stored in OEM, or in UTF-8 where OEM has no exact form for it.
    char name[256];
    char extension[256];
    SplitPathParts(source_path, nullptr, nullptr, name, extension);
    char component[sizeof name + sizeof extension];
    std::snprintf(component, sizeof component, "%s%s", name, extension);
    char header_name[kStoredNameSize];
    MakeStoredName(component, header_name, sizeof header_name);

    char header[2 * kStoredNameSize + 160];
    std::snprintf(header, sizeof header,
                  "\n%12s:  decoded size: %" PRId64 "\n"
                  "%12s   encoded size: %" PRId64 " (~)\n"
                  "\n%-12s   section %2d/%-2d%s\n\n",
                  header_name, size, " ", estimate, header_name, 1, 1, kBanner);
    WriteText(target, header);
    WriteText(target, kBeginCut);
    EncodeFileBody(job, *job.input, target, header_name);
    WriteText(target, kEndCut);
}

}  // namespace

int WriteEncodedFile(Job& job, const char* source_path, const char* target_path) {
    if (!StreamOpen(*job.input, source_path, "rb")) {
        SetStatus(job, kStatusCannotOpen);
        return -1;
    }
    const int64_t size = StreamLength(*job.input);
    const int64_t estimate = EstimateEncodedSize(size);
    const bool opened = OpenTarget(job, source_path, target_path, estimate);
    if (opened) {
        WriteEncodedText(job, source_path, size, estimate);
        // A header or trailer that never reached the disk is a failed write as much as a data
        // line. A file that replaces another takes its name only when it is whole.
        const bool written = *job.status == kStatusOk;
        if (!FinishOutputFile(job, written) && written) SetStatus(job, kStatusWriteFailed);
    } else {
        ReleaseOutputFolder(job);
    }
    StreamClose(*job.input);
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
    if (SameFile(source_path, target_path)) {
        SetStatus(job, kStatusCreateRefused);
        return;
    }
    WriteEncodedFile(job, source_path, target_path);
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
    // An unnamed new archive goes to the output file that the host named, where it named one.
    const char* target = settings.archive_path;
    if (target[0] == '\0' && settings.sink == OutputSink::NamedFile && !settings.output_path_refused) {
        target = settings.output_path;
    }
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
    // control byte, and readers drop blanks at its ends. Refused before anything is made.
    char name[256];
    char extension[256];
    SplitPathParts(source_path, nullptr, nullptr, name, extension);
    char component[sizeof name + sizeof extension];
    std::snprintf(component, sizeof component, "%s%s", name, extension);
    if (CreationNameRule(component) != NameRule::kNone) {
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
    CreateEncodedArchive(job, source_path, target);
}

}  // namespace uuarc
