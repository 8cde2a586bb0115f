// A hook that exec's Wait runs before it blocks. The display backends live
// in it: the headless backend answers a wait for window input from its
// script, the SDL backend keeps its windows alive (events, expose, palette
// changes of another task) for as long as the program waits for input.
//
// The hook runs on the waiting task's thread without the Forbid lock. It may
// return at once, or stay until one of the masked signals has arrived (it
// looks with SetSignal(0, 0)); Wait then returns exactly as it would have.
#pragma once

#include <cstdint>

namespace os::internal {

using WaitHook = void (*)(uint32_t signalMask);

void SetWaitHook(WaitHook hook);  // null removes it
WaitHook GetWaitHook();           // the hook in place, so a test can chain to it
void RunWaitHook(uint32_t signalMask);

}  // namespace os::internal
