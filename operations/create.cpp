// create.cpp - CompressFileMaskListArc and the encoder that writes the new file.
#include "operations/create.h"

#include <cinttypes>
#include <initializer_list>
#include <cstdio>
#include <cstring>

#include "format/alphabet.h"
#include "format/format.h"
#include "format/header.h"
#include "format/line_codec.h"
#include "module/module_state.h"
#include "module/status.h"
#include "names/stored_names.h"
#include "names/strings.h"
#include "operations/output_file.h"

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

void ReportProgress(int64_t percent_base, int64_t size, int64_t since_last) {
    const Callbacks& callbacks = g_state.callbacks;
    if (callbacks.progress == nullptr) return;
    callbacks.progress(callbacks.progress_user, ProgressPercent(percent_base, size), static_cast<int32_t>(since_last));
}

}  // namespace

bool IsDirectory(const char* path) {
    uint32_t attributes = 0;
    return PathAttributes(path, &attributes) && (attributes & kAttrDirectory) != 0;
}

void EncodeFileBody(Stream& source, Stream& target, const char* header_name, int64_t progress_step) {
    const int64_t size = StreamLength(source);
    char begin_line[kStoredNameSize + 16];
    std::snprintf(begin_line, sizeof begin_line, "begin %s %s\n", kBeginMode, header_name);
    WriteText(target, begin_line);

    EncoderProgress& progress = g_state.encoder;
    progress.running_total = 0;
    progress.threshold = progress_step;
    int64_t since_last = 0;

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
        const int length = EncodeLine(g_state.alphabet, bytes.data(), line, static_cast<int>(count));
        if (!StreamCommit(target, static_cast<size_t>(length))) {
            SetStatus(kStatusWriteFailed);
            return;
        }
        progress.running_total += static_cast<int64_t>(count);
        since_last += static_cast<int64_t>(count);
        if (progress.running_total > progress.threshold) {
            ReportProgress(progress.running_total, size, since_last);
            progress.threshold += progress_step;
            since_last = 0;
        }
    }
    const char end[] = {ActiveAlphabet(g_state.alphabet)[0], '\n', 'e', 'n', 'd', '\n', '\0'};
    WriteText(target, end);
}

int WriteEncodedFile(const char* source_path, const char* target_path) {
    Stream& source = g_state.input;
    Stream& target = g_state.output;
    const Callbacks& callbacks = g_state.callbacks;

    if (!StreamOpen(source, source_path, "rb")) {
        SetStatus(kStatusCannotOpen);
        return -1;
    }
    const int64_t size = StreamLength(source);
    const int64_t estimate = EstimateEncodedSize(size);
    const int64_t progress_step = size / 100;

    if (callbacks.file_name != nullptr) callbacks.file_name(callbacks.file_name_user, source_path, target_path);
    // A directory, a link or a device at the target is never written, nor a name that ends in a
    // separator.
    if (!OutputPathWritable(target_path, std::strlen(target_path))) {
        SetStatus(kStatusCannotOpen);
        StreamClose(source);
        return -1;
    }
    if (ConfirmReplace(target_path, estimate) != 0) {
        SetStatus(kStatusReplaceRefused);
        StreamClose(source);
        return -1;
    }
    OpenOutputFile(target_path, "wt");
    if (!StreamIsOpen(target)) {
        SetStatus(kStatusCannotOpen);
        StreamClose(source);
        return -1;
    }

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
    EncodeFileBody(source, target, header_name, progress_step);
    WriteText(target, kEndCut);

    // A header or trailer that never reached the disk is a failed write as much as a data line.
    // A file that replaces another takes its name only when it is whole.
    if (!FinishOutputFile(g_state.status == kStatusOk) && g_state.status == kStatusOk) SetStatus(kStatusWriteFailed);
    StreamClose(source);
    return 0;
}

void CreateEncodedArchive(const char* source_path, const char* target_path) {
    SetStatus(kStatusOk);
    ResetDefaultAlphabet(g_state.alphabet);
    if (ProbeArchiveHeader(g_state.alphabet, g_state.input, target_path) == kStatusOk) {
        SetStatus(kStatusCreateRefused);
        return;
    }
    // A table block that the probe met in the target must not change what is written.
    ResetDefaultAlphabet(g_state.alphabet);
    if (SameFile(source_path, target_path)) {
        SetStatus(kStatusCreateRefused);
        return;
    }
    WriteEncodedFile(source_path, target_path);
}

void RunCreation(const FileMaskList* list) {
    SetStatus(kStatusOk);
    if (g_state.new_archive == 0) {
        SetStatus(kStatusCreateRefused);
        return;
    }
    if (list == nullptr || list->head == nullptr) return;
    if (list->head->next != nullptr) {
        SetStatus(kStatusTooManyMasks);
        return;
    }
    const FileMask& mask = *list->head;
    const bool prefixed = (g_state.options & kOptionNoSourcePrefix) == 0;
    // A prefix that the host gave too long is not replaced by an older one.
    if (prefixed && g_state.source_prefix_refused) {
        SetStatus(kStatusCannotOpen);
        return;
    }

    char source_path[kBuiltPathSize] = {};
    char relative[kBuiltPathSize] = {};
    if (g_state.source_prefix[0] != '\0' && prefixed) {
        Append(source_path, sizeof source_path, g_state.source_prefix);
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
    if (!fits || std::strlen(source_path) > kMaxOutputPath || std::strlen(g_state.archive_path) > kMaxOutputPath) {
        SetStatus(kStatusCannotOpen);
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
        SetStatus(kStatusCannotOpen);
        return;
    }

    const Callbacks& callbacks = g_state.callbacks;
    if (callbacks.file_name != nullptr) {
        char entry_name[kBuiltPathSize + 1] = "\\";
        Append(entry_name, sizeof entry_name, relative);
        callbacks.file_name(callbacks.file_name_user, source_path, entry_name);
    }
    if (IsDirectory(source_path)) {
        SetStatus(kStatusSourceIsDirectory);
        return;
    }
    CreateEncodedArchive(source_path, g_state.archive_path);
}

}  // namespace uuarc
