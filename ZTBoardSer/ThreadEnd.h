// The end of a detached thread, as seen by the thread that asked it to end.
//
// A detached framework thread deletes its own object when its body returns,
// then still runs framework code for a moment. Whoever waits for it (the
// application at a device removal and at shutdown) must know both that the
// object has released everything and that the thread itself is gone, or the
// process may unload the framework under a running thread.
#pragma once
#include <wx/thread.h>
#include <memory>

// Called by the ending thread as its last act on its object: records which
// thread it is and posts the signal.
void ZTPostThreadEnd(const std::shared_ptr<wxSemaphore>& signal);

// Waits for the signal, then for the thread that posted it to be gone.
// False when either does not happen within timeoutMs.
bool ZTWaitThreadEnd(const std::shared_ptr<wxSemaphore>& signal, int timeoutMs);
