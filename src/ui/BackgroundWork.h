// Slow work (a server's answer) done off the user-interface thread while that thread keeps
// painting its windows under the wait cursor, taking no input meanwhile. User-interface thread.
#pragma once

#include <functional>

// Runs work on a thread of its own and returns when it has finished; until then the event loop
// runs without user input. When no thread can be started, work runs here instead.
void RunWithWaitCursor(const std::function<void()>& work);
