// extract.cpp - ExtractFileMaskListArc and the decoding loop with its progress reports.
//
// DecodeToFile waits, in turn, for: the begin line (free text and table blocks before it), the
// first data line (which settles the alphabet), data lines, and the line that begins with "end".
// At the first data line cut short it reads the archive once more, from its begin line to its
// end line, to learn whether blanks can have been stripped from it.
// A file whose header says its decoded size must decode to exactly that many bytes.
// After a "begin-base64" line DecodeBase64Lines waits instead for base64 lines and "====".
#include "operations/extract.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "format/base64.h"
#include "format/format.h"
#include "format/header.h"
#include "format/line_codec.h"
#include "names/masks.h"
#include "names/strings.h"
#include "operations/facts.h"
#include "operations/notify.h"
#include "operations/output_file.h"
#include "shared/stored_names.h"
#include "uuarc_status.h"

namespace uuarc {

namespace {

// "\" and the name, as the host is told the entry it gets.
void MakeNotificationName(const char* name, char* out, size_t size) {
    out[0] = '\\';
    const size_t length = strnlen(name, size - 2);
    std::memcpy(out + 1, name, length);
    out[1 + length] = '\0';
}

// The rule of the public codes for a rule of shared/stored_names.h that extraction applies.
NameFact FactOfRule(NameRule rule) {
    switch (rule) {
        case NameRule::kEmpty: return NameFact::Empty;
        case NameRule::kRooted: return NameFact::Rooted;
        case NameRule::kColon: return NameFact::Colon;
        case NameRule::kDotComponent: return NameFact::DotComponent;
        case NameRule::kDeviceName: return NameFact::Device;
        case NameRule::kEndsInSeparator: return NameFact::EndsInSeparator;
        default: return NameFact::None;  // creation's rules, never applied here
    }
}

// The fact of a refused stored name: `rule`, broken at `length` bytes from `start`.
void RefuseName(Fact* refusal, NameFact rule, size_t start, size_t length) {
    if (refusal == nullptr) return;
    refusal->kind = FactKind::NameRefused;
    refusal->rule = rule;
    refusal->span_start = static_cast<int64_t>(start);
    refusal->span_length = static_cast<int64_t>(length);
}

}  // namespace

bool MakeOutputName(const HostSettings& settings, const char* stored_name, char* output_name, Fact* refusal) {
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
    if (settings.keep_paths == 0) {
        SplitPathParts(name, nullptr, nullptr, file_name, extension);
        std::strcpy(joined, file_name);
        std::strcat(joined, extension);
        relative = joined;
    } else if (relative[0] == '\\') {
        ++relative;
    }

    // Only the lengths count: a name longer than the base path loses as many leading bytes as
    // the base path and its separator have, whatever they are.
    const size_t base_length = std::strlen(settings.base_path);
    if (base_length > 0 && std::strlen(relative) > base_length) relative += base_length + 1;

    // The part taken is the end of the name (separators aside), so a place in it is one there.
    const size_t relative_length = std::strlen(relative);
    const size_t taken_from = relative_length <= stored_length ? stored_length - relative_length : 0;
    NameFault fault;
    const NameRule rule = RelativeNameRule(relative, &fault);
    if (rule != NameRule::kNone) {
        RefuseName(refusal, FactOfRule(rule), taken_from + fault.start, fault.length);
        return false;
    }
    const size_t output_length = std::strlen(settings.output_path);
    if (output_length + relative_length > kMaxOutputPath) {
        RefuseName(refusal, NameFact::PathTooLong, taken_from, relative_length);
        return false;
    }
    std::memcpy(output_name, settings.output_path, output_length);
    std::memcpy(output_name + output_length, relative, relative_length + 1);
    return true;
}

namespace {

// Why DecodeLine refused the data line at `line_at`: a character outside the alphabet, or a line
// cut short.
Fact LineFaultFact(const AlphabetState& alphabet, std::string_view line, int64_t line_at) {
    const LineFault fault = FindLineFault(alphabet, line);
    Fact fact;
    fact.line_at = line_at;
    if (fault.character >= 0) {
        fact.kind = FactKind::BadCharacter;
        fact.character = fault.character;
    } else {
        fact.kind = FactKind::ShortLine;
        fact.count = static_cast<int64_t>(fault.present);
        fact.expected = static_cast<int64_t>(fault.wanted);
    }
    return fact;
}

// Once the begin line is read: names the entry again, makes sure the output may be written and
// asks about replacing it, opens it and announces it. False (the status says why) when no output
// is open; `size` is the length that progress counts (the archive's), `begin` what the begin
// line said.
bool OpenOutputAfterBegin(Job& job, const char* archive_path, const char* output_name, int64_t size,
                          const BeginLine& begin) {
    char notification[kNameBufferSize + 8];
    MakeNotificationName(begin.name, notification, sizeof notification);
    NotifyFileName(job, notification, output_name);
    if (IsStreamSink(job.settings->sink)) {
        OpenOutputSink(job, "wb");
        if (!StreamIsOpen(*job.output)) return false;
        NotifyOutputOpen(job, size);
        return true;
    }
    // A new file gets the begin line's mode, as Unix decoders give it, unless the host asked for
    // the default; the platform drops setuid, setgid and sticky, and the umask applies.
    if ((job.settings->options & UUARC_OPTION_NO_MODE) == 0) job.pending.new_mode = static_cast<int32_t>(begin.mode);
    const size_t trusted = std::strlen(job.settings->output_path);
    // Mostly nothing is there yet, and the file is made at once. Made new, it is neither the
    // archive nor anything that is never written, and there is nothing to ask about.
    if (OpenNewOutputFile(job, output_name, "wb", trusted)) {
        NotifyOutputOpen(job, size);
        return true;
    }
    // Decoding a file onto itself would truncate it before a line is read; a directory, a link
    // or a device there is never written.
    if (SameFile(archive_path, output_name) || !OutputPathWritable(job, output_name, trusted)) {
        SetStatus(job, kStatusCannotOpen);
        return false;
    }
    if (ConfirmReplace(job, output_name, EstimateDecodedSize(begin.form, size)) != 0) {
        SetStatus(job, kStatusReplaceRefused);
        return false;
    }
    OpenOutputFile(job, output_name, "wb");
    if (!StreamIsOpen(*job.output)) {
        SetStatus(job, kStatusCannotOpen);
        return false;
    }
    NotifyOutputOpen(job, size);
    return true;
}

// From the begin line on, as above: the begin line is read here first.
bool OpenDecodedOutput(Job& job, const char* archive_path, const char* output_name, int64_t* size,
                       BeginLine& begin, Fact& fact) {
    Stream& input = *job.input;
    if (FindBeginLine(*job.alphabet, input, begin) != 0) {
        fact = NoBeginLineFact(begin);
        SetStatus(job, kStatusBadFormat);
        return false;
    }
    *size = StreamLength(input);
    return OpenOutputAfterBegin(job, archive_path, output_name, *size, begin);
}

// Where progress starts counting: the start of the archive, or the end of the current file's
// begin line while every file of a text is read.
int64_t CountedFrom(const Job& job) { return job.entry != nullptr ? job.entry->data_at : 0; }

// A data line as the readers give it (`next`), seen by the reading of every file of a text: a
// begin line among the data ends the file there, as the end of the text would.
int NextDataLine(Job& job, int next, const std::string_view& line) {
    return job.entry != nullptr ? NoteDataLine(*job.entry, next, line) : next;
}

// Where both decoding loops put their lines: the output, the bytes decoded so far, and progress
// paced by the archive bytes read.
struct DecodedLines {
    Job& job;
    ProgressPacer progress;
    int64_t position = 0;
    int64_t decoded = 0;
};

// Decodes one line with `decode` (the bytes it wrote to the room it is given, or -1 for damage)
// straight into the output's buffer, which is open for writing, so there is room; then commits
// them and reports progress. False, with the status set, when the line is damaged or a write
// failed. Making the room may flush the buffer: a write that failed there ends the decoding at
// once, so that damage in this line cannot report 9964 in its place.
template <typename Decode>
bool PutLine(DecodedLines& lines, Decode decode) {
    Stream& output = *lines.job.output;
    uint8_t* space = StreamSpace(output, kDecodeBufferSize);
    const int count = StreamFailed(output) ? 0 : decode(space);
    if (count < 0) {
        SetStatus(lines.job, kStatusBadFormat);
        return false;
    }
    if (!StreamCommit(output, static_cast<size_t>(count))) {  // false once the stream failed
        SetStatus(lines.job, kStatusWriteFailed);
        return false;
    }
    lines.decoded += count;
    const int64_t now = StreamPosition(*lines.job.input);
    AdvanceProgress(lines.job, lines.progress, now - lines.position);
    lines.position = now;
    return true;
}

// Runs of full lines straight from the input's buffer into the output's (see DecodeFullLines),
// after the line that PutLine has put; the line routines take whatever else comes. The runs keep
// to what PutLine does line by line: a run ends at the line after which a progress report is
// due, so that the reports come after the same lines, and at the last line that the output's
// buffer takes before PutLine would flush it, so that the flushes (and a failed write before
// damage) come where they came; it never holds a line that is damaged or crosses the buffer's end.
void PutFullLines(DecodedLines& lines) {
    Job& job = lines.job;
    Stream& output = *job.output;
    constexpr size_t kLongestFullLine = kMaxEncodedLine + 1;  // its end a CR LF
    for (;;) {
        const std::span<const uint8_t> text = StreamBuffered(*job.input);
        const size_t room = StreamRoom(output);
        if (room < kDecodeBufferSize) return;
        const size_t most =
            std::min({kFullLinesAtOnce, static_cast<size_t>(BytesBeforeReport(lines.progress)) / kLongestFullLine + 1,
                      (room - kDecodeBufferSize) / kBytesPerLine + 1});
        uint8_t* space = StreamSpace(output, most * kBytesPerLine + kFullLineSlack);  // never flushes
        size_t consumed = 0;
        const size_t count = DecodeFullLines(*job.alphabet, text, space, most, &consumed);
        if (count == 0) return;
        StreamCommit(output, count * kBytesPerLine);
        StreamSkip(*job.input, consumed);
        lines.decoded += static_cast<int64_t>(count * kBytesPerLine);
        lines.position += static_cast<int64_t>(consumed);
        AdvanceProgress(job, lines.progress, static_cast<int64_t>(consumed));
    }
}

// Whether a data line cut short may read padded (PaddingAllowed): asked of the whole archive,
// since the sign that nothing was stripped may come anywhere in the data, after the line too. A
// second reader goes through it, so that the decoding goes on where it stands; the first one
// took the alphabet that the data lines are read in.
bool ArchiveAllowsPadding(Job& job, const char* archive_path) {
    Stream& look_ahead = *job.look_ahead;
    if (!StreamOpenAgain(look_ahead, job.input, archive_path, "rt")) return false;
    bool at_data = false;
    if (job.entry != nullptr) {
        // One file of a text of several: its data starts after its own begin line.
        char passed[kLineBufferSize];
        while (StreamPosition(look_ahead) < job.entry->data_at && StreamReadLine(look_ahead, passed, sizeof passed) > 0) {
        }
        at_data = StreamPosition(look_ahead) == job.entry->data_at;
    } else {
        AlphabetState scratch = *job.alphabet;  // the scan takes a table block in again
        BeginLine begin;
        at_data = FindBeginLine(scratch, look_ahead, begin) == 0;
    }
    const bool allowed = at_data && PaddingAllowed(*job.alphabet, look_ahead);
    StreamClose(look_ahead);
    return allowed;
}

// The data lines, from the first to the one that begins with "end", into the open output. A
// file that states its decoded size (`declared`, -1 when it does not) and reaches its end with
// another count has lost or gained lines on the way: the bytes stay, as for any damage. A line
// cut short is damage too unless the archive allows it to read padded, which is asked once, at
// the first such line; a first data line that begins with "end" is never padded. Where the
// reading stops short, `fact` says why.
void DecodeLines(Job& job, const char* archive_path, int64_t size, int64_t declared, Fact& fact) {
    Stream& input = *job.input;
    const AlphabetState& alphabet = *job.alphabet;
    char line_buffer[kLineBufferSize];
    std::string_view line;
    int64_t line_at = StreamPosition(input);  // where the reading of the line in hand began
    int next = NextDataLine(job, ReadFirstDataLine(*job.alphabet, input, line_buffer, line), line);
    enum class Verdict { Unasked, Padded, Damaged } verdict = Verdict::Unasked;
    bool first = true;
    DecodedLines lines{job, StartProgress(size, 0), CountedFrom(job)};
    while (next == 0) {
        const bool may_pad = !(first && line.starts_with("end"));
        first = false;
        const auto decode = [&](uint8_t* space) {
            const Padding padding = may_pad && verdict == Verdict::Padded ? Padding::Allowed : Padding::Refused;
            int count = DecodeLine(alphabet, line, space, padding);
            if (count == kShortLine && may_pad && verdict == Verdict::Unasked) {
                verdict = ArchiveAllowsPadding(job, archive_path) ? Verdict::Padded : Verdict::Damaged;
                if (verdict == Verdict::Padded) count = DecodeLine(alphabet, line, space, Padding::Allowed);
            }
            return count;
        };
        if (!PutLine(lines, decode)) {
            if (*job.status == kStatusBadFormat) fact = LineFaultFact(alphabet, line, line_at);
            return;
        }
        PutFullLines(lines);
        line_at = StreamPosition(input);
        next = NextDataLine(job, ReadNextDataLine(alphabet, input, line_buffer, line), line);
    }
    // The end line, or the end of the file (or no first data line) before it, or an end line that
    // could be data as well.
    if (next == 1 && (declared < 0 || lines.decoded == declared)) return;
    SetStatus(job, kStatusBadFormat);
    if (next == 1) {
        fact.kind = FactKind::SizeMismatch;
        fact.count = lines.decoded;
        fact.expected = declared;
    } else if (next == kAmbiguousEnd) {
        fact.kind = FactKind::AmbiguousEnd;
        fact.line_at = line_at;
    } else if (line.empty() || (job.entry != nullptr && job.entry->end == EntryEnd::NextBegin)) {
        fact.kind = FactKind::NoEndLine;  // the end of the text, or the next file's begin line
    } else {
        fact = LineFaultFact(alphabet, line, line_at);  // a first length character in no alphabet
    }
}

// The base64 lines after a "begin-base64" line, up to the "====" line, into the open output.
// Progress, the order of a failed write before damage, the statuses and `fact` are those of
// DecodeLines.
void DecodeBase64Lines(Job& job, int64_t size, Fact& fact) {
    char line_buffer[kLineBufferSize];
    Base64State state;
    DecodedLines lines{job, StartProgress(size, 0), CountedFrom(job)};
    int64_t line_at = 0;  // where the line in hand starts: a long one comes in pieces
    bool line_start = true;
    for (;;) {
        if (line_start) line_at = StreamPosition(*job.input);
        std::string_view line = StreamNextLine(*job.input, line_buffer, sizeof line_buffer);
        if (job.entry != nullptr) line = NoteBase64Line(*job.entry, line);
        if (line.empty() || IsBase64EndLine(line)) {
            // The end of the file before "====", or a group left unfinished, is damage.
            if (!line.empty() && state.count == 0) return;
            SetStatus(job, kStatusBadFormat);
            fact.kind = line.empty() ? FactKind::NoEndLine : FactKind::UnfinishedGroup;
            fact.line_at = line.empty() ? -1 : line_at;
            return;
        }
        line_start = line.back() == '\n';
        if (!PutLine(lines, [&](uint8_t* space) { return DecodeBase64Line(state, line, space); })) {
            if (*job.status != kStatusBadFormat) return;
            fact.line_at = line_at;
            fact.kind = state.fault == Base64Fault::NoValue  ? FactKind::BadCharacter
                        : state.fault == Base64Fault::AfterPad ? FactKind::AfterPadding
                                                                : FactKind::MisplacedPadding;
            if (fact.kind != FactKind::MisplacedPadding) fact.character = static_cast<uint8_t>(state.fault_character);
            return;
        }
    }
}

}  // namespace

int DecodeToFile(Job& job, const char* archive_path, const char* output_name) {
    Stream& input = *job.input;
    if (!StreamOpenOrRewind(input, archive_path, "rt")) {
        SetStatus(job, kStatusCannotOpen);
        return -1;
    }
    int64_t size = 0;
    BeginLine begin;
    Fact fact;
    const bool opened = OpenDecodedOutput(job, archive_path, output_name, &size, begin, fact);
    if (opened && begin.form == BeginForm::Base64) {
        DecodeBase64Lines(job, size, fact);
    } else if (opened) {
        DecodeLines(job, archive_path, size, begin.declared_size, fact);
    }
    StreamClose(*job.input);
    fact.part = &begin.part;  // told with a missing begin or end line alone
    fact.output = opened ? output_name : "";
    if (!opened) {
        ReleaseOutputFolder(job);
        if (*job.status == kStatusBadFormat) TellFact(job, archive_path, fact);
        return -1;
    }
    // Bytes still in the buffer reach the disk only now; losing them is a failed write too, and
    // it outranks damage found after them (9964). A file that replaces another takes its name
    // unless the writing failed.
    if (!FinishOutputFile(job, *job.status != kStatusWriteFailed)) SetStatus(job, kStatusWriteFailed);
    if (*job.status == kStatusBadFormat) TellFact(job, archive_path, fact);
    return 0;
}

namespace {

// The start of every extraction: status 0, and false (nothing to do, or status 5) for an empty
// mask list or a setting that the host gave too long, which is not replaced by an older one.
bool ExtractionMayStart(Job& job, const FileMaskList* list) {
    SetStatus(job, kStatusOk);
    if (list == nullptr || list->head == nullptr) return false;
    if (job.settings->output_path_refused || job.settings->base_path_refused) {
        SetStatus(job, kStatusCannotOpen);
        return false;
    }
    return true;
}

}  // namespace

void RunExtraction(Job& job, const FileMaskList* list) {
    if (!ExtractionMayStart(job, list)) return;
    const HostSettings& settings = *job.settings;
    // The archive stays open from the scan to the decoding, which reads it again from its start.
    char stored_name[kNameBufferSize];
    bool name_cut = false;
    BeginLine begin;
    const uint16_t scanned = OpenAndScanArchive(*job.alphabet, *job.input, settings.archive_path, stored_name,
                                                nullptr, &name_cut, &begin);
    if (scanned != kStatusOk) {
        SetStatus(job, scanned == kStatusBadFormat ? uint16_t{kStatusNotEncoded} : scanned);
        if (scanned == kStatusBadFormat) TellFact(job, settings.archive_path, NoBeginLineFact(begin));
        return;
    }
    char output_name[kOutputNameSize];
    if (MatchFileMaskList(stored_name, list) && NameOutput(job, stored_name, name_cut, output_name)) {
        DecodeToFile(job, settings.archive_path, output_name);
    } else {
        StreamClose(*job.input);
    }
}

bool NameOutput(Job& job, const char* stored_name, bool name_cut, char* output_name) {
    const HostSettings& settings = *job.settings;
    char notification[kNameBufferSize + 8];
    MakeNotificationName(stored_name, notification, sizeof notification);
    // A name that did not fit whole in the ANSI code page would make another file than the one
    // stored: it is listed cut, never extracted. The file that the host named is made whatever
    // the stored name: it is shown, never used. A host that asked for facts hears the name and
    // the rule it breaks.
    Fact refusal;
    if (name_cut) RefuseName(&refusal, NameFact::Cut, 0, std::strlen(stored_name));
    if (settings.sink != OutputSink::NamedFile &&
        (name_cut || !MakeOutputName(settings, stored_name, output_name, &refusal))) {
        if (FactsWanted(job)) NotifyFileName(job, notification, "");
        SetStatus(job, kStatusCannotOpen);
        TellFact(job, settings.archive_path, refusal);
        return false;
    }
    // A sink takes the bytes alone; the host knows it by the spelling it chose.
    if (settings.sink != OutputSink::Files) std::snprintf(output_name, kOutputNameSize, "%s", settings.output_path);
    NotifyFileName(job, notification, output_name);
    return true;
}

#if defined(UUARC_OPTION_EVERY_FILE)

namespace {

// One file of a text whose begin line has just been read, as DecodeToFile decodes the one file:
// the output opened (and asked about), the data decoded, the output finished. The input stays
// open, where the decoding left it.
void DecodeEntry(Job& job, const char* output_name, const BeginLine& begin) {
    Stream& input = *job.input;
    const char* archive_path = job.settings->archive_path;
    const int64_t size = std::max<int64_t>(StreamLength(input) - job.entry->data_at, 0);
    if (!OpenOutputAfterBegin(job, archive_path, output_name, size, begin)) {
        ReleaseOutputFolder(job);
        return;
    }
    Fact fact;
    if (begin.form == BeginForm::Base64) {
        DecodeBase64Lines(job, size, fact);
    } else {
        DecodeLines(job, archive_path, size, begin.declared_size, fact);
    }
    if (!FinishOutputFile(job, *job.status != kStatusWriteFailed)) SetStatus(job, kStatusWriteFailed);
    fact.part = &begin.part;  // told with a missing end line alone
    fact.output = output_name;
    if (*job.status == kStatusBadFormat) TellFact(job, archive_path, fact);
}

}  // namespace

void RunEveryExtraction(Job& job, const FileMaskList* list) {
    if (!ExtractionMayStart(job, list)) return;
    const HostSettings& settings = *job.settings;
    Stream& input = *job.input;
    if (!StreamOpenOrRewind(input, settings.archive_path, "rt")) {
        SetStatus(job, kStatusCannotOpen);
        return;
    }
    EntryCursor cursor;
    job.entry = &cursor;
    bool found = false;
    uint16_t first_failure = kStatusOk;
    BeginLine begin;
    while (FindNextEntry(*job.alphabet, input, cursor, begin) == 0) {
        found = true;
        if (MatchFileMaskList(begin.name, list)) {
            SetStatus(job, kStatusOk);
            job.pending = PendingOutput{};
            char output_name[kOutputNameSize];
            if (NameOutput(job, begin.name, begin.name_cut, output_name)) DecodeEntry(job, output_name, begin);
            if (first_failure == kStatusOk) first_failure = *job.status;
            NotifyEntryDone(job, *job.status);
        }
        // A file that was not decoded to its end is passed over up to what ends it.
        if (cursor.end == EntryEnd::None) SkipEntryData(input, begin.form, cursor, nullptr);
    }
    StreamClose(input);
    job.entry = nullptr;
    SetStatus(job, found ? first_failure : uint16_t{kStatusNotEncoded});
    if (!found) TellFact(job, settings.archive_path, NoBeginLineFact(begin));
}

#endif

}  // namespace uuarc
