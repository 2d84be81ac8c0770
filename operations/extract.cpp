// extract.cpp - ExtractFileMaskListArc and the decoding loop with its progress reports.
//
// DecodeToFile waits, in turn, for: the begin line (free text and table blocks before it), the
// first data line (which settles the alphabet), data lines, and the line that begins with "end".
#include "operations/extract.h"

#include <cstring>
#include <string_view>

#include "format/header.h"
#include "format/line_codec.h"
#include "module/module_state.h"
#include "module/status.h"
#include "names/masks.h"
#include "names/stored_names.h"
#include "names/strings.h"
#include "operations/output_file.h"

namespace uuarc {

namespace {

// "\" and the name, as the host is told the entry it gets.
void MakeNotificationName(const char* name, char* out, size_t size) {
    out[0] = '\\';
    const size_t length = strnlen(name, size - 2);
    std::memcpy(out + 1, name, length);
    out[1 + length] = '\0';
}

}  // namespace

bool MakeOutputName(const char* stored_name, char* output_name) {
    output_name[0] = '\0';
    char name[kOutputNameSize];
    const size_t stored_length = strnlen(stored_name, sizeof name - 1);
    std::memcpy(name, stored_name, stored_length);
    name[stored_length] = '\0';
    for (char* p = name; *p != '\0'; ++p) {
        if (*p == '/') *p = '\\';
    }

    const char* relative = name;
    char file_name[256];
    char extension[256];
    char joined[kOutputNameSize * 2];
    if (g_state.keep_paths == 0) {
        SplitPathParts(name, nullptr, nullptr, file_name, extension);
        std::strcpy(joined, file_name);
        std::strcat(joined, extension);
        relative = joined;
    } else if (relative[0] == '\\') {
        ++relative;
    }

    // Only the lengths count: a name longer than the base path loses as many leading bytes as
    // the base path and its separator have, whatever they are.
    const size_t base_length = std::strlen(g_state.base_path);
    if (base_length > 0 && std::strlen(relative) > base_length) relative += base_length + 1;

    if (!IsSafeRelativeName(relative)) return false;
    const size_t output_length = std::strlen(g_state.output_path);
    const size_t relative_length = std::strlen(relative);
    if (output_length + relative_length > kMaxOutputPath) return false;
    std::memcpy(output_name, g_state.output_path, output_length);
    std::memcpy(output_name + output_length, relative, relative_length + 1);
    return true;
}

int DecodeToFile(const char* archive_path, const char* output_name) {
    Stream& input = g_state.input;
    Stream& output = g_state.output;
    const Callbacks& callbacks = g_state.callbacks;

    if (!StreamOpen(input, archive_path, "rt")) {
        SetStatus(kStatusCannotOpen);
        return -1;
    }
    char name[kNameBufferSize + 8];
    if (FindBeginLine(g_state.alphabet, name, input) != 0) {
        SetStatus(kStatusBadFormat);
        StreamClose(input);
        return -1;
    }

    const int64_t size = StreamLength(input);
    const int64_t estimate = EstimateDecodedSize(size);
    const int64_t step = size / 100;
    int64_t position = 0;
    int64_t consumed = 0;
    int64_t threshold = 0;
    int64_t since_last = 0;

    if (callbacks.file_name != nullptr) {
        char notification[kNameBufferSize + 8];
        MakeNotificationName(name, notification, sizeof notification);
        callbacks.file_name(callbacks.file_name_user, notification, output_name);
    }
    // Decoding a file onto itself would truncate it before a line is read; a directory, a link
    // or a device there is never written. The directories below the host's output path come
    // from the stored name.
    if (SameFile(archive_path, output_name) || !OutputPathWritable(output_name, std::strlen(g_state.output_path))) {
        SetStatus(kStatusCannotOpen);
        StreamClose(input);
        return -1;
    }
    if (ConfirmReplace(output_name, estimate) != 0) {
        SetStatus(kStatusReplaceRefused);
        StreamClose(input);
        return -1;
    }
    OpenOutputFile(output_name, "wb");
    if (!StreamIsOpen(output)) {
        SetStatus(kStatusCannotOpen);
        StreamClose(input);
        return -1;
    }
    if (callbacks.signal != nullptr) callbacks.signal(callbacks.signal_user, size, 2);

    char line_buffer[kLineBufferSize];
    std::string_view line;
    if (ReadFirstDataLine(g_state.alphabet, input, line_buffer, line) != 0) {
        SetStatus(kStatusBadFormat);
        StreamClose(input);
        if (!FinishOutputFile(true)) SetStatus(kStatusWriteFailed);
        return -1;
    }
    for (;;) {
        // The bytes are decoded straight into the output's buffer (open for writing, so there
        // is room). Making that room may flush the buffer: a write that failed there ends the
        // decoding at once, so that damage in this line cannot report 9964 in its place.
        uint8_t* space = StreamSpace(output, kDecodeBufferSize);
        const int count = StreamFailed(output) ? 0 : DecodeLine(g_state.alphabet, line, space);
        if (count < 0) {
            SetStatus(kStatusBadFormat);
            break;
        }
        if (!StreamCommit(output, static_cast<size_t>(count))) {  // false once the stream failed
            SetStatus(kStatusWriteFailed);
            break;
        }
        const int64_t now = StreamPosition(input);
        consumed += now - position;
        since_last += now - position;
        position = now;
        if (consumed > threshold) {
            if (callbacks.progress != nullptr) {
                callbacks.progress(callbacks.progress_user, ProgressPercent(consumed, size),
                                   static_cast<int32_t>(since_last));
            }
            threshold += step;
            since_last = 0;
        }
        const int next = ReadNextDataLine(input, line_buffer, line);
        if (next == 1) break;
        if (next < 0) {
            SetStatus(kStatusBadFormat);
            break;
        }
    }
    StreamClose(input);
    // Bytes still in the buffer reach the disk only now; losing them is a failed write too, and
    // it outranks damage found after them (9964). A file that replaces another takes its name
    // unless the writing failed.
    if (!FinishOutputFile(g_state.status != kStatusWriteFailed)) SetStatus(kStatusWriteFailed);
    return 0;
}

void RunExtraction(const FileMaskList* list) {
    SetStatus(kStatusOk);
    if (list == nullptr || list->head == nullptr) return;
    // A setting that the host gave too long is not replaced by an older one.
    if (g_state.output_path_refused || g_state.base_path_refused) {
        SetStatus(kStatusCannotOpen);
        return;
    }
    char stored_name[kNameBufferSize];
    int64_t estimate = 0;
    bool name_cut = false;
    const uint16_t scanned =
        ScanArchiveHeader(g_state.alphabet, g_state.input, g_state.archive_path, stored_name, &estimate, &name_cut);
    if (scanned != kStatusOk) {
        SetStatus(scanned == kStatusBadFormat ? uint16_t{kStatusNotEncoded} : scanned);
        return;
    }
    if (!MatchFileMaskList(stored_name, list)) return;
    // A name that did not fit whole in the ANSI code page would make another file than the one
    // stored: it is listed cut, never extracted.
    char output_name[kOutputNameSize];
    if (name_cut || !MakeOutputName(stored_name, output_name)) {
        SetStatus(kStatusCannotOpen);
        return;
    }
    const Callbacks& callbacks = g_state.callbacks;
    if (callbacks.file_name != nullptr) {
        char notification[kNameBufferSize + 8];
        MakeNotificationName(stored_name, notification, sizeof notification);
        callbacks.file_name(callbacks.file_name_user, notification, output_name);
    }
    DecodeToFile(g_state.archive_path, output_name);
}

}  // namespace uuarc
