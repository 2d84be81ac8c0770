// operations.cpp - the exports that run an operation on a mask list, and those that build and
// release the list: thin shims over operations/ and names/, each operation handed its job record.
#include "module/module_state.h"
#include "names/masks.h"
#include "operations/create.h"
#include "operations/extract.h"
#include "uuarc_status.h"

using namespace uuarc;

UUARC_API uint8_t UUARC_CALL AppendFileMask(const char* mask, FileMaskList* list) {
    switch (AppendMask(mask, list)) {
        case MaskAppended::Yes: return 1;
        case MaskAppended::NoMemory: SetStatus(kStatusNoMemory); return 0;
        case MaskAppended::Refused: break;
    }
    return 0;
}

UUARC_API void UUARC_CALL DoneFileMaskList(FileMaskList* list) { FreeMaskList(list); }

// A null list is refused (status 5) before any work; an empty one asks for nothing (status 0).
UUARC_API void UUARC_CALL ExtractFileMaskListArc(FileMaskList* list) {
    if (list == nullptr) {
        SetStatus(kStatusCannotOpen);
        return;
    }
    TakeHeldArchive();
    Job job = MakeJob();
#if defined(UUARC_OPTION_EVERY_FILE)
    if ((g_state.settings.options & UUARC_OPTION_EVERY_FILE) != 0) {
        RunEveryExtraction(job, list);
        return;
    }
#endif
    RunExtraction(job, list);
}

UUARC_API void UUARC_CALL CompressFileMaskListArc(FileMaskList* list) {
    if (list == nullptr) {
        SetStatus(kStatusCannotOpen);
        return;
    }
    ReleaseHeldArchive();
    Job job = MakeJob();
    RunCreation(job, list);
}
