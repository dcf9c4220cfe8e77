// Records the pointer events that reach an X server, from every client, so
// that a test sees exactly which motions, presses and releases the service
// injected and in which order; and asks the server where the pointer is.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct _XDisplay Display;

namespace zt {

// One device event as the server delivered it. type is the core event code
// (ButtonPress 4, ButtonRelease 5, MotionNotify 6); button is the button of
// a press or release (0 for a motion); x, y are root coordinates; time is
// the server's millisecond clock.
struct XRecEvent {
    int type = 0;
    int button = 0;
    int x = 0;
    int y = 0;
    unsigned long time = 0;
};

// Short readable form, e.g. "press 1 (10,20)", for assertion messages.
std::string Describe(const XRecEvent& e);
std::string Describe(const std::vector<XRecEvent>& events);

class XRecorder {
public:
    // display: the display name; empty means $DISPLAY. Recording starts in
    // the constructor; Ok() tells whether it did.
    explicit XRecorder(const std::string& display = "");
    ~XRecorder();
    XRecorder(const XRecorder&) = delete;
    XRecorder& operator=(const XRecorder&) = delete;

    bool Ok() const { return m_bOk; }

    // Copy of everything recorded so far (since the start or the last Clear).
    std::vector<XRecEvent> Events();
    // Only the presses and releases.
    std::vector<XRecEvent> Buttons();
    void Clear();

    // Waits until pred holds for the recorded events; false on timeout.
    bool WaitFor(const std::function<bool(const std::vector<XRecEvent>&)>& pred,
                 int timeoutMs = 3000);
    // Waits until at least n events are recorded.
    bool WaitForCount(size_t n, int timeoutMs = 3000);
    // Waits until everything the server processed before this call has been
    // delivered to the recorder. Call it after a round trip (XSync) on the
    // injecting connection, before asserting that something did NOT happen.
    bool Settle(int timeoutMs = 3000);

private:
    void Run();
    static void OnData(char* closure, void* data);

    Display* m_pCtrl = nullptr;
    Display* m_pData = nullptr;
    unsigned long m_context = 0;
    bool m_bOk = false;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;

    // Shared between the recording thread (writer) and the test thread
    // (reader): guarded by m_mutex.
    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::vector<XRecEvent> m_events;
    unsigned long m_nCycles = 0;
};

// Pointer position and button mask as the server sees them, asked on a
// connection of its own after a round trip (a position read right after the
// injector's flush can be stale).
struct PointerState {
    bool ok = false;
    int x = 0;
    int y = 0;
    unsigned mask = 0; // Button1Mask 0x100, Button3Mask 0x400
};
PointerState QueryPointer(const std::string& display = "");

} // namespace zt
