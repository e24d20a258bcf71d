// The one way calls reach the user-interface thread from other threads.
#pragma once

#include <functional>

namespace plat::detail {

// Runs `call` on the user-interface thread and waits until it has run there. On that
// thread itself it runs at once. False, without running it, once the toolkit is gone.
bool RunOnUiThread(const std::function<void()>& call);

// Queues `call` for the user-interface thread without waiting. False once the toolkit is
// gone.
bool PostToUiThread(std::function<void()> call);

void StartUiCallQueue();  // on the new user-interface thread
void StopUiCallQueue();   // fails every waiting and later call
void DrainUiCallQueue();  // runs the calls waiting now

}  // namespace plat::detail
