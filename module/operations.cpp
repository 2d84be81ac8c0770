// operations.cpp - the exports that run an operation on a mask list, and those that build and
// release the list: thin shims over operations/ and names/.
#include "names/masks.h"
#include "operations/create.h"
#include "operations/extract.h"

using namespace uuarc;

UUARC_API uint8_t UUARC_CALL AppendFileMask(const char* mask, FileMaskList* list) {
    return AppendMask(mask, list) ? 1 : 0;
}

UUARC_API void UUARC_CALL DoneFileMaskList(FileMaskList* list) { FreeMaskList(list); }

UUARC_API void UUARC_CALL ExtractFileMaskListArc(FileMaskList* list) { RunExtraction(list); }

UUARC_API void UUARC_CALL CompressFileMaskListArc(FileMaskList* list) { RunCreation(list); }
