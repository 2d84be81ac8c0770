// module_state.cpp - the module-wide state, with its initial values from module_state.h.
#include "module/module_state.h"

namespace uuarc {

ModuleState g_state;

}  // namespace uuarc
