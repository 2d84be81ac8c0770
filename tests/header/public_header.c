/* public_header.c - the public header as a C host sees it: compiled as C99 with every warning an
   error (tests/CMakeLists.txt), for the native and both Windows builds. */
#include "uuarc.h"

/* A host's callback of each kind, and a use of every record, code and bit. */
static int32_t UUARC_CALL OnFileName(UserData user, const char* source, const char* target) {
    return (int32_t)(user + (source != NULL) + (target != NULL));
}

static int32_t UUARC_CALL OnReplace(UserData user, FindData* existing, FindData* incoming) {
    (void)user;
    return existing->attributes & UUARC_ATTR_READ_ONLY ? 1 : (int32_t)incoming->size_low * 0;
}

int uuarc_public_header_compiles(void);

int uuarc_public_header_compiles(void) {
    ArcFileList list = {0, NULL, NULL};
    FileMaskList masks = {NULL, NULL};
    ArcExtraInfo info;
    DecompExtraFeatures decomp;
    CompExtraFeatures comp;
    SetFileNameProc name_proc = OnFileName;
    OkToReplaceProc replace_proc = OnReplace;
    const uint16_t codes[] = {UUARC_STATUS_OK, UUARC_STATUS_CANNOT_OPEN, UUARC_STATUS_NO_MEMORY,
                              UUARC_STATUS_WRITE_FAILED, UUARC_STATUS_REPLACE_REFUSED,
                              UUARC_STATUS_CREATE_REFUSED, UUARC_STATUS_CANNOT_DELETE,
                              UUARC_STATUS_TOO_MANY_MASKS, UUARC_STATUS_SOURCE_IS_DIRECTORY,
                              UUARC_STATUS_BAD_FORMAT, UUARC_STATUS_NOT_ENCODED,
                              UUARC_STATUS_NOT_SUPPORTED};
    (void)list;
    (void)masks;
    (void)info;
    (void)decomp;
    (void)comp;
    (void)name_proc;
    (void)replace_proc;
    return (int)(sizeof codes + UUARC_OPTION_NO_SOURCE_PREFIX + UUARC_OPTIONS_AT_LOAD + UUARC_OPTIONS_LOCKED +
                 UUARC_ATTR_HIDDEN + UUARC_ATTR_SYSTEM + UUARC_ATTR_DIRECTORY + UUARC_ATTR_ARCHIVE +
                 UUARC_ATTR_NORMAL + UUARC_MAX_HOST_PATH + UUARC_MAX_OUTPUT_PATH);
}
