// strings.h - byte-string and path primitives. Positions and counts are 8-bit and 0-based, so
// the 8-bit routines work on strings of at most 255 bytes; 255 from StrPos means "not found".
// They keep no state and touch no ModuleState.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shared/stored_names.h"  // kDrivesAndStreams
#include "uuarc.h"

namespace uuarc {

// The one limit of every string that the host hands over (paths, settings, masks) and of the
// 8-bit routines below, terminator not counted.
constexpr size_t kMaxHostPath = UUARC_MAX_HOST_PATH;

// Copies exactly `count` bytes; the areas may overlap either way. No terminator is added.
void MoveBytes(const void* source, void* destination, uint16_t count);

// ASCII a..z and the ANSI umlauts 0xE4, 0xF6 to upper case; every other byte unchanged.
uint8_t UpCaseChar(uint8_t byte);

// The lead byte of "ä" and "ö" in UTF-8, and the trail byte after it upper-cased: "ä" (0xA4) and
// "ö" (0xB6) to "Ä" and "Ö", every other byte unchanged.
constexpr uint8_t kUtf8UmlautLead = 0xC3;
uint8_t UpCaseUtf8UmlautTrail(uint8_t trail);

// Upper-cases `source` into `destination` (which may be `source`), terminator included. Windows
// builds take it byte by byte with UpCaseChar (names in the ANSI code page); elsewhere names are
// UTF-8, so ASCII letters and the umlauts "ä" and "ö" as whole characters are upper-cased and no
// other byte of 0x80 and up is touched.
char* StrUpper(const char* source, char* destination);

// Inserts `source` into `destination` before `position` (cut to the end). A destination longer
// than 256 bytes is first cut to 256. `destination` must hold its length + the source's + 1.
char* StrInsert(const char* source, char* destination, uint8_t position);

// Copies at most `count` bytes of `source` from `start` into `destination` and terminates it;
// writes at most 256 bytes.
char* StrCopy(const char* source, uint8_t start, uint8_t count, char* destination);

// Removes `count` bytes at `position`, moving the rest (terminator included) left.
char* StrDelete(char* text, uint8_t position, uint8_t count);

// Index of the first `byte` in `text`, or 255 when it does not occur within the first 255 bytes.
uint8_t StrPos(char byte, const char* text);

// Copies `source` into `destination` (which may be `source`) and appends "\" unless it is empty
// or ends in "\" or, where kDrivesAndStreams, ":". At most 255 bytes of the source are taken;
// `destination` needs 257.
char* AddTrailingBackslash(const char* source, char* destination);

// Splits a path into drive ("C:" or ""; always "" without kDrivesAndStreams), directory (through
// the last "\" or "/"), name and extension (from the last "." of the name part, dot included).
// Each output may be null; the drive needs 3 bytes, the others 256 (each part is cut to 255
// bytes).
void SplitPathParts(const char* path, char* drive, char* directory, char* name, char* extension);

// Allocation from the module's heap: AllocBlock fills the slot (null on failure) and says whether
// it got a block; FreeBlock releases a block and nulls the slot; StrDup copies a string into a
// new block, null when the heap is exhausted.
bool AllocBlock(void** slot, uint16_t size);
void FreeBlock(void** slot);
char* StrDup(const char* text);

// True when a file or directory exists under the path; false for "" without asking the system.
bool FileExists(const char* path);

}  // namespace uuarc
