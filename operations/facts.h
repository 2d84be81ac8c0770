// facts.h - what a reading found, told to a host that asked for it (UUARC_OPTION_FACTS, native
// builds and the 64-bit DLL): where and why the reading of an archive stopped, which rule a
// stored name broke, and the mode of each entry listed. The code that decided records a Fact; TellFact turns its place in the file
// into a line number and passes it through SetSignalProc, field by field (include/uuarc.h says
// how). Elsewhere, and without the bit, nothing is passed.
#pragma once

#include <cstdint>

#include "format/header.h"
#include "operations/job.h"

namespace uuarc {

// The kinds of fact, with the values of the public UUARC_FACT_ codes (checked in facts.cpp).
enum class FactKind : int32_t {
    None = 0,
    NoBeginLine = 1,
    TableWithoutBlock = 2,   // line: the "table" line
    BadCharacter = 3,        // line, character
    ShortLine = 4,           // line; count: characters present; expected: characters asked for
    NoEndLine = 5,
    AmbiguousEnd = 6,        // line: the end line that is data too
    SizeMismatch = 7,        // count: bytes decoded; expected: the header's size
    MisplacedPadding = 8,    // line
    AfterPadding = 9,        // line, character
    UnfinishedGroup = 10,    // line: the "====" line
    NameRefused = 11,        // rule, span
    EntryMode = 12,          // mode: the begin line's of the entry just listed
    Part = 13,               // part, parts; told by TellFact before NoBeginLine or NoEndLine
    NewOutput = 14,          // volume, index; told by TellNewOutput
};

// The rules of the public UUARC_NAME_ codes, with their values.
enum class NameFact : int32_t {
    None = 0, Empty, Rooted, Colon, DotComponent, Device, EndsInSeparator, Cut, PathTooLong,
};

// One fact; a field that is -1 (or None) is not passed.
struct Fact {
    FactKind kind = FactKind::None;
    // The line the fact is about: the one that holds this offset of the archive, or the first
    // that is not empty after it (see LineNumberAt).
    int64_t line_at = -1;
    int32_t character = -1;
    int64_t count = -1;
    int64_t expected = -1;
    NameFact rule = NameFact::None;
    int64_t span_start = -1;  // in the stored name
    int64_t span_length = -1;
    int64_t mode = -1;
    // The part of a split posting that the text says it is (none when null or its total is 0),
    // told first with NoBeginLine and NoEndLine alone; `output` is the output that the entry was
    // given ("" for none), which the host is told again with the name that the marker gives.
    const PartMarker* part = nullptr;
    const char* output = "";
};

// Why the header scan that found `scanned` found no begin line: none is there (and the text may
// say which part of a split posting it is), or the "table" line alone at `scanned.table_at` has
// no block after it.
Fact NoBeginLineFact(const BeginLine& scanned);

// The mode of the begin line of the entry that a listing has just made.
Fact EntryModeFact(uint32_t mode);

// Whether the host asked for facts (and the build has them).
bool FactsWanted(const Job& job);

// Passes `fact` to the host when it asked for facts and the fact has a kind. The line is counted
// on `job.look_ahead`, which must be closed, from the archive at `archive_path`; it is closed
// again at the end. A part of a split posting comes first, as a fact of its own (Part), after the
// name that its marker gives: SetFileNameProc ("\" + that name, `fact.output`).
void TellFact(Job& job, const char* archive_path, const Fact& fact);

// Tells a host that asked for facts which file the new output open on `file` is (NewOutput).
void TellNewOutput(Job& job, FileHandle file);

}  // namespace uuarc
