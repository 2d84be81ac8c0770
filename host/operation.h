// operation.h - one archive operation as the module runs it: the loaded exports, the callbacks
// the host registers, what they learn, and the run of an export on a list of one mask. The module
// calls back synchronously inside the export; one operation runs at a time, so the user-data
// words are not needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/cleanup.h"
#include "host/module_loader.h"
#include "host/options.h"
#include "host/system.h"

namespace uuarc_host {

extern uuarc_loader::ModuleExports g_api;

enum class ReplaceOutcome {
    kNotAsked, kReplaced, kSkipped,
    kRefusedNoTerminal,   // no --overwrite or --skip-existing, and nobody to ask
};

// What the module said of why an operation failed (UUARC_OPTION_FACTS): the fields of a fact, as
// include/uuarc.h lists them; kind 0 when it said none (the 32-bit module never says one). A field
// that the fact has not is -1.
struct ModuleFact {
    int32_t kind = 0;
    int64_t line = -1;
    int64_t character = -1;
    int64_t count = -1;
    int64_t expected = -1;
    int64_t rule = -1;
    int64_t span = -1;
    int64_t mode = -1;
    int64_t part = -1;
    int64_t parts = -1;
    int64_t volume = -1;
    int64_t index = -1;
};

struct Operation {
    const Options* options = nullptr;
    bool extracting = false;
    std::string target;                  // the output the module named last (native); creation:
                                         // the target
    bool output_opened = false;          // extraction: SetSignalProc came, the output exists
    ReplaceOutcome replace = ReplaceOutcome::kNotAsked;
    PathInfo replaced;                   // kReplaced: the existing output as it was before the yes
    // The file the module writes that did not exist before, taken for this run's own once the
    // module has made it: extraction when the output is open (SetSignalProc) and no question was
    // asked, creation at the first progress report.
    LeftoverId new_output = kNoLeftover;
    bool made_known = false;             // the module said which file it made (`made`), before
    FileIdentity made;                   // the output was taken for this run's own
    bool output_private = false;         // extraction into a private folder (-c, -o): what the
                                         // module makes there is this run's own from the start
    bool output_sink = false;            // extraction into standard output or nothing: no file
    int64_t delivered = -1;              // the bytes that the sink took, once the module says
    int64_t source_read = -1;            // creation: the source did not hold its size; bytes read
    std::string entry;                   // the stored name as the module named it last (module
                                         // terms, without its leading "\"); a part's file too
    ModuleFact fact;                     // the last fact the module closed
    ModuleFact part;                     // the part of a split posting that the text is, as the
                                         // module said it before `fact`
    ModuleFact fact_fields;              // the fields of the one it is passing
    std::vector<int64_t> modes;          // listing: each entry's begin line mode, as it was made
    // Every file of a text (the module's own option): called when the module says that a file is
    // done, with its status, from inside the export.
    void (*file_done)(uint16_t status) = nullptr;
};

extern Operation g_operation;

// Once the module is loaded: turns on its own options (none in the 32-bit DLL) and registers the
// callbacks that hear its facts, since InitArcFile explains a refusal through them too (a part's
// file by its name), before StartOperation.
void SetUpModule();

// Clears g_operation and registers the callbacks (after InitArcFile or CreateArcFile, which
// clear the user-data words); the progress bar counts `progress_total` bytes of `progress_name`
// (extraction: 0, until the module says the archive's length).
void StartOperation(const Options& options, bool extracting, const std::string& progress_name,
                    int64_t progress_total);

// Runs `operation` on a list of the one `mask` (module terms); returns the archive status. The
// archive stays open for the caller to close with DoneArcFile.
uint16_t RunOnOneMask(void(UUARC_CALL* operation)(FileMaskList*), const std::string& mask);

// Between the files of a text: forgets what the callbacks learnt of the file before (its target,
// the replace question's outcome, its new output, which the caller has settled or forgotten).
void NextFile();

// After the run: on success the progress bar ends at 100%; on failure it is cleared. A new output
// file is left to the caller.
void FinishOperation(bool success);

}  // namespace uuarc_host
