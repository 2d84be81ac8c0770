// exports.cpp - the status, option and callback-registration exports, and the operations that
// this format answers without work.
#include <cstring>

#include "module/module_state.h"
#include "uuarc_status.h"

using namespace uuarc;

// ---- Status ---------------------------------------------------------------------------------

UUARC_API uint16_t UUARC_CALL GetArchiveStatus() { return g_state.status; }

UUARC_API uint16_t UUARC_CALL SetArchiveStatus(uint32_t value) { return SetStatus(static_cast<uint16_t>(value)); }

// ---- Options: 16-bit arithmetic; the locked bits never change --------------------------------

UUARC_API uint16_t UUARC_CALL arOptionsOn(uint32_t mask) {
    const uint16_t applied = static_cast<uint16_t>(mask & ~g_state.locked_options);
    g_state.settings.options |= applied;
    return applied;
}

UUARC_API uint16_t UUARC_CALL arOptionsOff(uint32_t mask) {
    const uint16_t kept = static_cast<uint16_t>(~(mask & ~g_state.locked_options));
    g_state.settings.options &= kept;
    return kept;
}

UUARC_API int32_t UUARC_CALL arOptionsAreOn(uint32_t mask) {
    const uint16_t bits = static_cast<uint16_t>(mask);
    return (g_state.settings.options & bits) == bits ? 1 : 0;
}

// ---- Callback registration ------------------------------------------------------------------

UUARC_API void UUARC_CALL SetSetFileNameProc(UserData user, SetFileNameProc proc) {
    g_state.callbacks.file_name_user = user;
    g_state.callbacks.file_name = proc;
}

UUARC_API void UUARC_CALL SetSetProgressProc(UserData user, SetProgressProc proc) {
    g_state.callbacks.progress_user = user;
    g_state.callbacks.progress = proc;
}

UUARC_API void UUARC_CALL SetOkToReplaceProc(UserData user, OkToReplaceProc proc) {
    g_state.callbacks.ok_to_replace_user = user;
    g_state.callbacks.ok_to_replace = proc;
}

UUARC_API void UUARC_CALL SetSetSignalProc(UserData user, SetSignalProc proc) {
    g_state.callbacks.signal_user = user;
    g_state.callbacks.signal = proc;
}

// No operation of this module asks to skip a file, warns, needs the next disk or builds a
// self-extractor, so these registrations are accepted and forgotten.
UUARC_API void UUARC_CALL SetSkipFileProc(UserData, OtherProc) {}
UUARC_API void UUARC_CALL SetSetWarningProc(UserData, OtherProc) {}
UUARC_API void UUARC_CALL SetGetNextDiskProc(UserData, OtherProc) {}
UUARC_API void UUARC_CALL SetSetSfxProgressProc(UserData, OtherProc) {}

// ---- Shared routines ------------------------------------------------------------------------
// Several exports share one routine; the .def file maps each of their names to it.

// The nine operations that this format does not have.
extern "C" void UUARC_CALL NotSupportedArc(uint32_t) { SetStatus(kStatusNotSupported); }

// The archive has no main comment: two 32-bit zero words in every build, and no other byte.
// A null record is left alone, as every null pointer at the boundary is.
UUARC_API void UUARC_CALL GetMainCommentArc(void* record) {
    if (record != nullptr) std::memset(record, 0, 2 * sizeof(uint32_t));
}

// An empty mask list has no nodes: its head and tail, pointer-wide, are null.
UUARC_API void UUARC_CALL InitFileMaskList(FileMaskList* list) {
    if (list == nullptr) return;
    list->head = nullptr;
    list->tail = nullptr;
}

// Archives of this format are never encrypted.
extern "C" void UUARC_CALL IgnoreCryptKey(uint32_t, uint32_t) {}

UUARC_API void UUARC_CALL DeleteFileMaskListArc(uint32_t) { SetStatus(kStatusCannotDelete); }

#if !defined(_WIN32)
// The DLL's .def file gives the shared routines their export names; an ELF build uses aliases.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wunknown-warning-option"
#endif
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattribute-alias"
#define UUARC_ALIAS(name, target, ...) UUARC_API void name(__VA_ARGS__) __attribute__((alias(#target)))
UUARC_ALIAS(AddDamageProtXionArc, NotSupportedArc, uint32_t);
UUARC_ALIAS(BuildUnDamagedArc, NotSupportedArc, uint32_t);
UUARC_ALIAS(CreateArcSfx2, NotSupportedArc, uint32_t);
UUARC_ALIAS(CreateDirectoryArc, NotSupportedArc, uint32_t);
UUARC_ALIAS(CreateExeArc, NotSupportedArc, uint32_t);
UUARC_ALIAS(SetFileCommentsArc, NotSupportedArc, uint32_t);
UUARC_ALIAS(SetMainCommentArc, NotSupportedArc, uint32_t);
UUARC_ALIAS(StripDamageProtXionArc, NotSupportedArc, uint32_t);
UUARC_ALIAS(TestArc, NotSupportedArc, uint32_t);
UUARC_ALIAS(SetCryptKey, IgnoreCryptKey, uint32_t, uint32_t);
UUARC_ALIAS(SetSetCryptKeyProc, IgnoreCryptKey, uint32_t, uint32_t);
#pragma GCC diagnostic pop
#endif
