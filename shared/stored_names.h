// stored_names.h - the rules a stored name must keep: where extraction may put a name taken from
// an archive, and which names creation may store so that they come back as they went in. The
// module and the command-line host both link this one unit, so that a refusal and the message
// that explains it follow one set of rules. No state, no system calls.
#pragma once

#include <cstddef>

#include "uuarc.h"

namespace uuarc {

// Size of the buffers that receive a stored name: a longer one is cut after its last whole
// character that fits.
constexpr size_t kNameBufferSize = 256;

// Whether a ':' is special in a path: on Windows it ends a drive ("C:") and names an alternate
// stream. Elsewhere it is a byte like any other, in the host's paths as in stored names.
#if defined(_WIN32)
constexpr bool kDrivesAndStreams = true;
#else
constexpr bool kDrivesAndStreams = false;
#endif

// The rule a name breaks; kNone for a name that keeps them all.
enum class NameRule {
    kNone = 0,
    kEmpty,            // no name at all
    kRooted,           // starts with a separator: an absolute path
    kColon,            // a ':' names a drive or an alternate stream (Windows builds only)
    kDotComponent,     // a component of dots and spaces alone: "..", or ". ." which Windows reads so
    kDeviceName,       // CON, NUL, COM1, CONIN$, ... with any extension (Windows builds only)
    kEndsInSeparator,  // names a directory, not a file
    kControlByte,      // creation: a byte 0x01 to 0x1F or 0x7F, which a begin line cannot carry
    kEndBlank,         // creation: a space or tab at either end, which readers drop
    kTooLong,          // creation: longer than a begin line gives back whole (UUARC_MAX_STORED_NAME)
};

// Device names are reserved by Windows alone: elsewhere "aux.c" or "nul" is a file like any other,
// and refusing it would keep a file from the very system that stored it.
#if defined(_WIN32)
constexpr bool kDeviceNamesReserved = true;
#else
constexpr bool kDeviceNamesReserved = false;
#endif

// Where in the name the rule is broken: the component at fault (kDotComponent, kDeviceName) or
// the offending byte (kColon, kControlByte, kEndBlank); the whole name otherwise.
struct NameFault {
    size_t start = 0;
    size_t length = 0;
};

// The first rule that `name`, the part of a stored name to be put below the output path ("\" and
// "/" both separate), breaks. `fault`, when given, says where.
NameRule RelativeNameRule(const char* name, NameFault* fault = nullptr);

// Whether a name taken from an archive may be put under the output path as it is.
inline bool IsSafeRelativeName(const char* name) { return RelativeNameRule(name) == NameRule::kNone; }

// The first rule that `name`, the last component of a source as creation would store it, breaks:
// control bytes anywhere, blanks at either end, more than UUARC_MAX_STORED_NAME bytes (the fault
// is what lies past them). Outside Windows a name is stored as its bytes, UTF-8 or not, as
// extraction there takes them back. An empty name passes here (creation refuses it on its own
// terms). `fault`, when given, says where. Creation also holds the name's stored form to the
// length, which under Windows may be longer (UTF-8 where the OEM code page lacks a character).
NameRule CreationNameRule(const char* name, NameFault* fault = nullptr);

}  // namespace uuarc
