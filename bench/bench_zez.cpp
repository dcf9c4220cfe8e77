// Prints how long the multi-touch frame worker takes per report, in process:
// a board hands a recorded stream of reports to the real worker (its own
// read loop on its own thread) with the real XTest pointer output on an X
// server, and every report is timed from the read's return to the motion
// flushed to the server, and to the end of its handling. Common mode with
// one finger, and dual-full mode with six, with the dual-screen peer's
// records written to a socket that a thread drains, and without a peer.
//
//   bench_zez [--reports N] [--rate R]      (defaults 100000 reports, 5000/s)
//
// Without DISPLAY a private Xvfb is started.
#include <wx/init.h>
#include <wx/thread.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "App/ZTBoardHost.h"
#include "Device/DeviceBase.h"
#include "Linux/MouseCtrlLinux.h"
#include "Work/ZEZ/ZTBoardWorkIRQ.h"
#include "ZtTestEnv.h"

namespace {

typedef std::chrono::steady_clock Clock;
typedef std::vector<unsigned char> Bytes;

FILE* g_fig = stderr;

double Us(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// Worker thread only: the board stamps each report as its read returns, the
// pointer output when the motion it caused is flushed.
struct Timing {
    Clock::time_point readAt;
    bool waitingMotion = false;
    bool handling = false;
    std::vector<double> toMotion;
    std::vector<double> handled;
};

// The dual-screen peer's records go into a socket pair, as the real link
// writes them to a socket; a thread drains the far end.
class BenchHost : public CZTBoardQuietHost {
public:
    BenchHost()
    {
        socketpair(AF_UNIX, SOCK_STREAM, 0, m_fd);
        m_drain = std::thread([this] {
            char buf[4096];
            while (read(m_fd[1], buf, sizeof buf) > 0) {
            }
        });
    }
    ~BenchHost()
    {
        shutdown(m_fd[0], SHUT_RDWR);
        m_drain.join();
        close(m_fd[0]);
        close(m_fd[1]);
    }
    bool StartDualSock(int) override { return true; }
    void SendDualPoint(int a, int x, int y) override { Record(-1, a, x, y); }
    void SendDualData(int id, int st, int x, int y) override { Record(id, st, x, y); }
    bool IsWorkRun() override { return true; }
    void GetScreenSize(int* w, int* h) override
    {
        *w = 1920;
        *h = 1080;
    }

    // Without a peer the records are dropped, as while the link is down.
    bool m_bPeer = true;

private:
    void Record(int a, int b, int x, int y)
    {
        if (!m_bPeer)
            return;
        int32_t r[5] = {-1, a, b, x, y};
        if (write(m_fd[0], r, sizeof r) < 0)
            perror("write");
    }
    int m_fd[2];
    std::thread m_drain;
};

class TimedMouse : public CMouseCtrlLinux {
public:
    TimedMouse(const wxString& type, Timing* t) : CMouseCtrlLinux(type), m_t(t) {}
    int MoveTo(int x, int y) override
    {
        int r = CMouseCtrlLinux::MoveTo(x, y); // flushed before it returns
        if (m_t->waitingMotion) {
            m_t->toMotion.push_back(Us(Clock::now() - m_t->readAt));
            m_t->waitingMotion = false;
        }
        return r;
    }

private:
    Timing* m_t;
};

// Hands out the stream at the given rate, then waits to be released.
class StreamBoard : public CDeviceBase {
public:
    StreamBoard(const std::vector<Bytes>* stream, int rate, Timing* t)
        : CDeviceBase(Info()), m_stream(stream), m_period(std::chrono::nanoseconds(1000000000LL / rate)),
          m_t(t)
    {
    }
    static DeviceInfo Info()
    {
        DeviceInfo d;
        d.nVendorID = 0x1314;
        d.nProductID = 0x1106;
        d.nDevType = DEVTYPE_HID;
        d.nBoardType = 12;
        return d;
    }
    bool Open() override { return true; }
    bool Init() override { return m_bInit = true; }
    void Close() override {}
    int Read(unsigned char*, int) override { return -1; }
    int Write(const unsigned char*, int n) override { return n; }
    int WriteRaw(const unsigned char*, int n) override { return n; }
    int SendFeature(const unsigned char*, int n) override { return n; }
    int QueryBoardType() override { return 0; }
    bool DetectBoardType() override { return true; }

    int ReadRaw(unsigned char* buf, int len) override
    {
        Clock::time_point now = Clock::now();
        if (m_t->handling)
            m_t->handled.push_back(Us(now - m_t->readAt));
        m_t->handling = false;
        if (m_next >= m_stream->size()) {
            std::unique_lock<std::mutex> g(m_lock);
            m_done = true;
            m_cv.notify_all();
            m_cv.wait(g, [this] { return m_released; });
            return 1;
        }
        if (m_next == 0)
            m_due = now;
        m_due += m_period;
        std::this_thread::sleep_until(m_due);
        memcpy(buf, (*m_stream)[m_next++].data(), (size_t)len);
        m_t->readAt = Clock::now();
        m_t->waitingMotion = m_t->handling = true;
        return len;
    }

    void WaitDone()
    {
        std::unique_lock<std::mutex> g(m_lock);
        m_cv.wait(g, [this] { return m_done; });
    }
    void Release()
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_released = true;
        m_cv.notify_all();
    }

private:
    const std::vector<Bytes>* m_stream;
    Clock::duration m_period;
    Clock::time_point m_due;
    size_t m_next = 0;
    Timing* m_t;
    std::mutex m_lock;
    std::condition_variable m_cv;
    bool m_done = false;
    bool m_released = false;
};

class TimedWorker : public CZTBoardWorkIRQ {
public:
    explicit TimedWorker(Timing* t) : m_t(t) {}

protected:
    CMouseCtrlBase* CreateMouse() override { return new TimedMouse(m_strWorkType, m_t); }

private:
    Timing* m_t;
};

Bytes Report(int contacts, int step, bool touching)
{
    Bytes b(64, 0);
    b[0] = 0x01;
    for (int k = 0; k < contacts; ++k) {
        int o = 1 + 10 * k;
        // Fingers side by side, each drawing a line down and across.
        int x = 3000 + 4500 * k + 20 * step, y = 4000 + 30 * step;
        int v[4] = {x, y, 20, 20};
        b[o] = touching ? 7 : 0;
        b[o + 1] = (unsigned char)(k + 1);
        for (int i = 0; i < 4; ++i) {
            b[o + 2 + 2 * i] = (unsigned char)(v[i] & 0xFF);
            b[o + 3 + 2 * i] = (unsigned char)(v[i] >> 8);
        }
    }
    return b;
}

// Strokes of 500 reports, each ended by a lift report.
std::vector<Bytes> Stream(int contacts, int n)
{
    std::vector<Bytes> s;
    s.reserve((size_t)n);
    for (int i = 0; (int)s.size() < n; ++i) {
        int step = i % 501;
        s.push_back(Report(contacts, step, step < 500));
    }
    return s;
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t i = std::min(v.size() - 1, (size_t)(p * (double)(v.size() - 1) + 0.5));
    return v[i];
}

bool Run(const char* name, int contacts, bool dualFull, int reports, int rate)
{
    std::vector<Bytes> stream = Stream(contacts, reports);
    Timing t;
    t.toMotion.reserve(stream.size());
    t.handled.reserve(stream.size());
    auto* board = new StreamBoard(&stream, rate, &t);
    auto* w = new TimedWorker(&t);
    auto exited = std::make_shared<wxSemaphore>(0, 1);
    w->SetExitSignal(exited);
    if (w->Create() != wxTHREAD_NO_ERROR || !w->InitWork(board)) {
        fprintf(stderr, "bench_zez: cannot start the worker\n");
        return false;
    }
    w->SetPointCount(6);
    if (dualFull)
        w->SetWorkMode(8, 1);
    w->Run();
    board->WaitDone();
    w->Delete();
    board->Release();
    exited->Wait();
    // The semaphore orders the worker's writes of t before these reads.
    fprintf(g_fig, "  %-24s read -> motion flushed: median %6.1f us, p99 %6.1f us (%zu motions)\n", name,
            Percentile(t.toMotion, 0.5), Percentile(t.toMotion, 0.99), t.toMotion.size());
    fprintf(g_fig, "  %-24s read -> report handled: median %6.1f us, p99 %6.1f us\n", "",
            Percentile(t.handled, 0.5), Percentile(t.handled, 0.99));
    fflush(g_fig);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int reports = 100000, rate = 5000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--reports"))
            reports = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--rate"))
            rate = atoi(argv[i + 1]);
    }
    if (reports <= 0 || rate <= 0) {
        fprintf(stderr, "usage: bench_zez [--reports N] [--rate R]\n");
        return 2;
    }
    setenv("GDK_GL", "disable", 1);
    std::unique_ptr<zt::Xvfb> x;
    if (!getenv("DISPLAY") || !*getenv("DISPLAY")) {
        x.reset(new zt::Xvfb(1920, 1080));
        if (!x->Ok()) {
            fprintf(stderr, "bench_zez: no X display and no Xvfb\n");
            return 1;
        }
    }
    zt::WorkDir dir("bench_zez");
    if (chdir(dir.Path().c_str()) != 0)
        return 1;
    // The figures go to standard output; the worker's diagnostic lines, which
    // are not figures, go nowhere.
    fflush(stdout);
    g_fig = fdopen(dup(1), "w");
    if (!g_fig || !freopen("/dev/null", "w", stdout))
        return 1;
    fprintf(g_fig, "Multi-touch frame worker in process, XTest on %s (%d reports at %d/s)\n",
            getenv("DISPLAY"), reports, rate);
    wxInitializer wx;
    BenchHost host;
    ZTSetHost(&host);
    bool ok = Run("common mode, 1 contact", 1, false, reports, rate);
    ok = Run("dual-full, 6 contacts", 6, true, reports, rate) && ok;
    host.m_bPeer = false;
    ok = Run("dual-full, 6, no peer", 6, true, reports, rate) && ok;
    ZTSetHost(nullptr);
    fclose(g_fig);
    return ok ? 0 : 1;
}
