// Thread start of the platform layer.
#pragma once

namespace plat {

// Starts `procedure` on a new detached thread with the default stack. Nobody joins it:
// whoever needs to know when it ends watches a flag the procedure clears.
bool BeginThread(void (*procedure)());

}  // namespace plat
