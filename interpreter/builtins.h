// The built-in routines' handlers, for callers that resolve a routine once and call it many times.
// Internal to the interpreter.
#pragma once

#include <cstdint>
#include <string>

#include "interpreter/poor_pascal.h"

namespace ppa_builtins {

using TProcHandler = void (*)(TPoorPascal&, const TPPAParams&);
using TIntHandler = std::int64_t (*)(TPoorPascal&, const TPPAParams&);
using TRealHandler = double (*)(TPoorPascal&, const TPPAParams&);
using TStrHandler = std::string (*)(TPoorPascal&, const TPPAParams&);

// The handler of that Index and kind, or nullptr when there is none.
template <typename Handler>
Handler Find(std::int32_t Index);

// Whether the built-in of that Index only computes its result from its arguments: it shows no
// dialog, starts no process, neither waits nor handles messages, so no other code runs meanwhile.
bool IsPure(std::int32_t Index);

}  // namespace ppa_builtins
