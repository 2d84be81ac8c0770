// module_state.cpp - the module-wide state, with its initial values from module_state.h, and the
// job record that an export hands down.
#include "module/module_state.h"

#include <new>

namespace uuarc {

ModuleState g_state;

Job MakeJob() {
    Job job;
    job.settings = &g_state.settings;
    job.callbacks = &g_state.callbacks;
    job.input = &g_state.input;
    job.output = &g_state.output;
    job.look_ahead = &g_state.look_ahead;
    job.alphabet = &g_state.alphabet;
    job.status = &g_state.status;
    return job;
}

void TakeHeldArchive() {
    if (!StreamIsOpen(g_state.input)) return;
    FileInfo now;
    const FileInfo& held = g_state.held;
    if (!StreamFileInfo(g_state.input, &now) || now.size != held.size || now.last_write != held.last_write) {
        ReleaseHeldArchive();
        return;
    }
    g_state.held = now;
}

void ResetModuleState() {
    ReleaseHeldArchive();
    g_state.~ModuleState();
    new (&g_state) ModuleState;
}

}  // namespace uuarc
