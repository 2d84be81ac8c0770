// facts.cpp - TellFact (facts.h): the line counted, the fields passed through notify.cpp.
#include "operations/facts.h"

#include <cstdio>

#include "format/line_codec.h"
#include "operations/notify.h"

namespace uuarc {

Fact NoBeginLineFact(const BeginLine& scanned) {
    Fact fact;
    fact.kind = scanned.table_at >= 0 ? FactKind::TableWithoutBlock : FactKind::NoBeginLine;
    fact.line_at = scanned.table_at;
    if (scanned.table_at < 0) fact.part = &scanned.part;
    return fact;
}

Fact EntryModeFact(uint32_t mode) {
    Fact fact;
    fact.kind = FactKind::EntryMode;
    fact.mode = mode;
    return fact;
}

#if defined(UUARC_OPTION_FACTS)
static_assert(static_cast<int32_t>(FactKind::NoBeginLine) == UUARC_FACT_NO_BEGIN_LINE);
static_assert(static_cast<int32_t>(FactKind::TableWithoutBlock) == UUARC_FACT_TABLE_WITHOUT_BLOCK);
static_assert(static_cast<int32_t>(FactKind::BadCharacter) == UUARC_FACT_BAD_CHARACTER);
static_assert(static_cast<int32_t>(FactKind::ShortLine) == UUARC_FACT_SHORT_LINE);
static_assert(static_cast<int32_t>(FactKind::NoEndLine) == UUARC_FACT_NO_END_LINE);
static_assert(static_cast<int32_t>(FactKind::AmbiguousEnd) == UUARC_FACT_AMBIGUOUS_END);
static_assert(static_cast<int32_t>(FactKind::SizeMismatch) == UUARC_FACT_SIZE_MISMATCH);
static_assert(static_cast<int32_t>(FactKind::MisplacedPadding) == UUARC_FACT_MISPLACED_PADDING);
static_assert(static_cast<int32_t>(FactKind::AfterPadding) == UUARC_FACT_AFTER_PADDING);
static_assert(static_cast<int32_t>(FactKind::UnfinishedGroup) == UUARC_FACT_UNFINISHED_GROUP);
static_assert(static_cast<int32_t>(FactKind::NameRefused) == UUARC_FACT_NAME_REFUSED);
static_assert(static_cast<int32_t>(FactKind::EntryMode) == UUARC_FACT_ENTRY_MODE);
static_assert(static_cast<int32_t>(FactKind::Part) == UUARC_FACT_PART);
static_assert(static_cast<int32_t>(FactKind::NewOutput) == UUARC_FACT_NEW_OUTPUT);
static_assert(static_cast<int32_t>(NameFact::Empty) == UUARC_NAME_EMPTY);
static_assert(static_cast<int32_t>(NameFact::Rooted) == UUARC_NAME_ROOTED);
static_assert(static_cast<int32_t>(NameFact::Colon) == UUARC_NAME_COLON);
static_assert(static_cast<int32_t>(NameFact::DotComponent) == UUARC_NAME_DOT_COMPONENT);
static_assert(static_cast<int32_t>(NameFact::Device) == UUARC_NAME_DEVICE);
static_assert(static_cast<int32_t>(NameFact::EndsInSeparator) == UUARC_NAME_ENDS_IN_SEPARATOR);
static_assert(static_cast<int32_t>(NameFact::Cut) == UUARC_NAME_CUT);
static_assert(static_cast<int32_t>(NameFact::PathTooLong) == UUARC_NAME_PATH_TOO_LONG);

bool FactsWanted(const Job& job) { return (job.settings->options & UUARC_OPTION_FACTS) != 0; }

namespace {

// The text is one part of a posting split over several: the rest of its file is in the others.
void TellPart(Job& job, const PartMarker& part, const char* output) {
    if (part.name[0] != '\0') {
        char notification[kNameBufferSize + 8];
        std::snprintf(notification, sizeof notification, "\\%s", part.name);
        NotifyFileName(job, notification, output);
    }
    NotifyFactField(job, UUARC_SIGNAL_FACT_PART, part.number);
    NotifyFactField(job, UUARC_SIGNAL_FACT_PARTS, part.total);
    NotifyFactField(job, UUARC_SIGNAL_FACT, static_cast<int64_t>(FactKind::Part));
}

}  // namespace

void TellFact(Job& job, const char* archive_path, const Fact& fact) {
    if (fact.kind == FactKind::None || !FactsWanted(job)) return;
    const bool missing = fact.kind == FactKind::NoBeginLine || fact.kind == FactKind::NoEndLine;
    if (missing && fact.part != nullptr && fact.part->total > 0) TellPart(job, *fact.part, fact.output);
    int64_t line = -1;
    if (fact.line_at >= 0 && StreamOpenAgain(*job.look_ahead, job.input, archive_path, "rt")) {
        line = LineNumberAt(*job.look_ahead, fact.line_at);
        StreamClose(*job.look_ahead);
    }
    if (line > 0) NotifyFactField(job, UUARC_SIGNAL_FACT_LINE, line);
    if (fact.character >= 0) NotifyFactField(job, UUARC_SIGNAL_FACT_CHARACTER, fact.character);
    if (fact.count >= 0) NotifyFactField(job, UUARC_SIGNAL_FACT_COUNT, fact.count);
    if (fact.expected >= 0) NotifyFactField(job, UUARC_SIGNAL_FACT_EXPECTED, fact.expected);
    if (fact.rule != NameFact::None) NotifyFactField(job, UUARC_SIGNAL_FACT_RULE, static_cast<int64_t>(fact.rule));
    if (fact.span_start >= 0) NotifyFactField(job, UUARC_SIGNAL_FACT_SPAN, fact.span_start << 16 | fact.span_length);
    if (fact.mode >= 0) NotifyFactField(job, UUARC_SIGNAL_FACT_MODE, fact.mode);
    NotifyFactField(job, UUARC_SIGNAL_FACT, static_cast<int64_t>(fact.kind));
}

void TellNewOutput(Job& job, FileHandle file) {
    uint64_t volume = 0;
    uint64_t index = 0;
    if (!FactsWanted(job) || !HandleIdentity(file, &volume, &index)) return;
    NotifyFactField(job, UUARC_SIGNAL_FACT_VOLUME, static_cast<int64_t>(volume));
    NotifyFactField(job, UUARC_SIGNAL_FACT_INDEX, static_cast<int64_t>(index));
    NotifyFactField(job, UUARC_SIGNAL_FACT, static_cast<int64_t>(FactKind::NewOutput));
}
#else
// The 32-bit DLL has no facts: its hosts know no signal code but the one that says the output is
// open.
bool FactsWanted(const Job&) { return false; }

void TellFact(Job&, const char*, const Fact&) {}

void TellNewOutput(Job&, FileHandle) {}
#endif

}  // namespace uuarc
