#include "XRecorder.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>

#include <chrono>
#include <cstdio>
#include <poll.h>

namespace zt {

namespace {

const char* TypeName(int type)
{
    switch (type) {
    case ButtonPress: return "press";
    case ButtonRelease: return "release";
    case MotionNotify: return "motion";
    default: return "event";
    }
}

Display* Open(const std::string& display)
{
    return XOpenDisplay(display.empty() ? nullptr : display.c_str());
}

} // namespace

std::string Describe(const XRecEvent& e)
{
    char buf[80];
    if (e.type == MotionNotify)
        snprintf(buf, sizeof buf, "motion (%d,%d)", e.x, e.y);
    else
        snprintf(buf, sizeof buf, "%s %d (%d,%d)", TypeName(e.type), e.button, e.x, e.y);
    return buf;
}

std::string Describe(const std::vector<XRecEvent>& events)
{
    std::string s;
    for (const XRecEvent& e : events) {
        if (!s.empty())
            s += ", ";
        s += Describe(e);
    }
    return s.empty() ? "(none)" : s;
}

XRecorder::XRecorder(const std::string& display)
{
    // Two connections: the context is controlled on one, its data arrives on
    // the other (a connection that enabled a context receives nothing else).
    m_pCtrl = Open(display);
    m_pData = Open(display);
    int major = 0, minor = 0;
    if (!m_pCtrl || !m_pData || !XRecordQueryVersion(m_pCtrl, &major, &minor))
        return;
    XRecordRange* range = XRecordAllocRange();
    if (!range)
        return;
    range->device_events.first = ButtonPress;
    range->device_events.last = MotionNotify;
    XRecordClientSpec clients = XRecordAllClients;
    m_context = XRecordCreateContext(m_pCtrl, 0, &clients, 1, &range, 1);
    XFree(range);
    if (!m_context)
        return;
    XSync(m_pCtrl, False);
    if (!XRecordEnableContextAsync(m_pData, m_context, (XRecordInterceptProc)&XRecorder::OnData,
                                   (XPointer)this))
        return;
    m_bOk = true;
    m_thread = std::thread(&XRecorder::Run, this);
}

XRecorder::~XRecorder()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_pCtrl && m_context) {
        XRecordDisableContext(m_pCtrl, m_context);
        XRecordFreeContext(m_pCtrl, m_context);
        XSync(m_pCtrl, False);
    }
    if (m_pData)
        XCloseDisplay(m_pData);
    if (m_pCtrl)
        XCloseDisplay(m_pCtrl);
}

// Both connections are used only by this thread while it runs. The server
// hands recorded data over only when it flushes its output, which a round
// trip on the control connection makes it do; hence the XSync every cycle.
void XRecorder::Run()
{
    struct pollfd pfd = {ConnectionNumber(m_pData), POLLIN, 0};
    while (!m_bStop) {
        XRecordProcessReplies(m_pData);
        XSync(m_pCtrl, False);
        poll(&pfd, 1, 10);
        XRecordProcessReplies(m_pData);
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nCycles;
        m_cond.notify_all();
    }
}

void XRecorder::OnData(char* closure, void* pData)
{
    XRecorder* self = (XRecorder*)closure;
    XRecordInterceptData* d = (XRecordInterceptData*)pData;
    if (d->category == XRecordFromServer && d->data && d->data_len * 4 >= sizeof(xEvent)) {
        const xEvent* ev = (const xEvent*)d->data;
        XRecEvent e;
        e.type = ev->u.u.type & 0x7f;
        e.button = e.type == MotionNotify ? 0 : ev->u.u.detail;
        e.x = ev->u.keyButtonPointer.rootX;
        e.y = ev->u.keyButtonPointer.rootY;
        e.time = ev->u.keyButtonPointer.time;
        if (e.type >= ButtonPress && e.type <= MotionNotify) {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            self->m_events.push_back(e);
            self->m_cond.notify_all();
        }
    }
    XRecordFreeData(d);
}

std::vector<XRecEvent> XRecorder::Events()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

std::vector<XRecEvent> XRecorder::Buttons()
{
    std::vector<XRecEvent> out;
    for (const XRecEvent& e : Events())
        if (e.type == ButtonPress || e.type == ButtonRelease)
            out.push_back(e);
    return out;
}

void XRecorder::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.clear();
}

bool XRecorder::WaitFor(const std::function<bool(const std::vector<XRecEvent>&)>& pred, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return pred(m_events); });
}

bool XRecorder::WaitForCount(size_t n, int timeoutMs)
{
    return WaitFor([n](const std::vector<XRecEvent>& ev) { return ev.size() >= n; }, timeoutMs);
}

bool XRecorder::Settle(int timeoutMs)
{
    if (!m_bOk)
        return false;
    // A cycle that began after this call has made a round trip after
    // everything processed before it, and a second one has read the data
    // that round trip flushed.
    std::unique_lock<std::mutex> lock(m_mutex);
    unsigned long target = m_nCycles + 3;
    return m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return m_nCycles >= target; });
}

PointerState QueryPointer(const std::string& display)
{
    PointerState st;
    Display* d = Open(display);
    if (!d)
        return st;
    XSync(d, False);
    Window root, child;
    int wx, wy;
    st.ok = XQueryPointer(d, DefaultRootWindow(d), &root, &child, &st.x, &st.y, &wx, &wy, &st.mask);
    XCloseDisplay(d);
    return st;
}

} // namespace zt
