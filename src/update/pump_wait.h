// The download wait: the process has no message loop, so the shared
// library's pump is served between short waits.
#pragma once

#include <windows.h>

// Waits for `event` in steps of 10 ms, delivering pending pump messages
// after each step that timed out. Returns when the event is signalled or the
// wait fails.
void WaitPumpingMessages(HANDLE event);
