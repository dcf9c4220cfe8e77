// Prints the service binary's figures with a simulated ZEZ frame: the time
// from feeding a report to the simulated board to the motion's arrival at
// the X server (XRecord time stamps, the server's millisecond clock), and
// the service's CPU time per 1,000 reports at the frame's 200 reports per
// second.
//
//   bench_zez_service [--reports N] [--rate R] [--cpu-reports M]
//                     (defaults 20000 reports at 1000/s; 2000 at 200/s)
//
// It re-executes itself in private network and mount namespaces (the
// service's fixed ports and lock) and under the umockdev preload, and
// starts a private Xvfb.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <hidapi.h>

#include "BoardSim.h"
#include "XRecorder.h"
#include "ZtTestEnv.h"

namespace {

using zt::sim::Bytes;
typedef std::chrono::steady_clock Clock;

// The server's clock: CLOCK_MONOTONIC in milliseconds, 32 bits.
uint32_t MonotonicMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)((uint64_t)ts.tv_sec * 1000 + (uint64_t)ts.tv_nsec / 1000000);
}

Bytes Report(int step, bool touching)
{
    Bytes b(64, 0);
    b[0] = 0x01;
    int v[4] = {3000 + 20 * step, 4000 + 30 * step, 20, 20};
    b[1] = touching ? 7 : 0;
    b[2] = 1;
    for (int i = 0; i < 4; ++i) {
        b[3 + 2 * i] = (uint8_t)(v[i] & 0xFF);
        b[4 + 2 * i] = (uint8_t)(v[i] >> 8);
    }
    return b;
}

// One finger: strokes of 500 reports, each ended by a lift report.
std::vector<Bytes> Stream(int n)
{
    std::vector<Bytes> s;
    for (int i = 0; (int)s.size() < n; ++i)
        s.push_back(Report(i % 501, i % 501 < 500));
    return s;
}

// Feeds the stream at rate; returns the feed time of every touching report.
std::vector<uint32_t> Feed(zt::sim::CBoardSim& board, const std::vector<Bytes>& stream, int rate)
{
    std::vector<uint32_t> fed;
    Clock::duration period = std::chrono::nanoseconds(1000000000LL / rate);
    Clock::time_point due = Clock::now();
    for (const Bytes& r : stream) {
        due += period;
        std::this_thread::sleep_until(due);
        if (r[1] == 7)
            fed.push_back(MonotonicMs());
        board.QueueReport(r);
    }
    return fed;
}

long CpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    size_t p = line.rfind(')');
    if (p == std::string::npos)
        return -1;
    std::istringstream ss(line.substr(p + 2));
    std::string f;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && ss >> f; ++i) {
        if (i == 14)
            utime = atol(f.c_str());
        if (i == 15)
            stime = atol(f.c_str());
    }
    return utime + stime;
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, (size_t)(p * (double)(v.size() - 1) + 0.5))];
}

// A bare reader of the simulated frame on a thread of this process: what
// the simulated board's reads alone cost, for comparison with the service's
// figure. Returns the thread's CPU time in microseconds, -1 on failure.
long BareReader(zt::sim::CBoardSim& board, const std::vector<Bytes>& stream)
{
    if (hid_init() != 0)
        return -1;
    hid_device* h = hid_open(0x1314, 0x1104, nullptr);
    if (!h)
        return -1;
    long us = -1;
    std::thread t([&] {
        unsigned char buf[64];
        int got = 0, idle = 0;
        while (got < (int)stream.size() && idle < 4) {
            int r = hid_read_timeout(h, buf, sizeof buf, 500);
            if (r == 64)
                ++got, idle = 0;
            else
                ++idle;
        }
        timespec ts;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        if (got == (int)stream.size())
            us = ts.tv_sec * 1000000L + ts.tv_nsec / 1000;
    });
    Feed(board, stream, 200);
    t.join();
    hid_close(h);
    return us;
}

} // namespace

int main(int argc, char** argv)
{
    if (!getenv("ZT_ISOLATED")) {
        char self[4096];
        ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        if (n > 0) {
            self[n] = 0;
            std::vector<char*> args = {(char*)ZT_ISOLATE_SCRIPT, self};
            for (int i = 1; i < argc; ++i)
                args.push_back(argv[i]);
            args.push_back(nullptr);
            execv(ZT_ISOLATE_SCRIPT, args.data());
        }
        fprintf(stderr, "bench_zez_service: cannot isolate; running as is\n");
    }
    zt::sim::ZTSimEnsurePreload(argc, argv);

    int reports = 20000, rate = 1000, cpuReports = 2000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--reports"))
            reports = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--rate"))
            rate = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--cpu-reports"))
            cpuReports = atoi(argv[i + 1]);
    }
    if (reports <= 0 || rate <= 0 || cpuReports <= 0) {
        fprintf(stderr, "usage: bench_zez_service [--reports N] [--rate R] [--cpu-reports M]\n");
        return 2;
    }
    setenv("GDK_GL", "disable", 1);
    zt::Xvfb x(1920, 1080);
    zt::WorkDir dir("bench_zez_service");
    zt::XRecorder rec;
    zt::sim::CBoardSim board;
    zt::ChildProcess svc;
    if (!x.Ok() || !rec.Ok() || !board.Plug(0x1314, 0x1104, "ZEZ touch frame") ||
        !svc.StartService(dir.Path()) || !board.WaitSentReports(1, 15000)) {
        fprintf(stderr, "bench_zez_service: set-up failed\n%s", svc.Output().c_str());
        return 1;
    }
    printf("Service binary, simulated ZEZ frame 1314:1104, Xvfb %s (XRecord time stamps: 1 ms "
           "resolution)\n",
           x.DisplayName().c_str());
    fflush(stdout);

    // Latency.
    std::vector<Bytes> stream = Stream(reports);
    std::vector<uint32_t> fed = Feed(board, stream, rate);
    board.WaitDrained(10000);
    rec.WaitFor(
        [&](const std::vector<zt::XRecEvent>& ev) {
            size_t m = 0;
            for (const zt::XRecEvent& e : ev)
                m += e.type == 6;
            return m >= fed.size();
        },
        10000);
    rec.Settle();
    std::vector<uint32_t> arrived;
    for (const zt::XRecEvent& e : rec.Events())
        if (e.type == 6)
            arrived.push_back((uint32_t)e.time);
    std::vector<double> lat;
    size_t n = std::min(arrived.size(), fed.size());
    for (size_t i = 0; i < n; ++i)
        lat.push_back((double)(int32_t)(arrived[i] - fed[i]));
    printf("  feed -> motion at the X server: median %.0f ms, p99 %.0f ms, max %.0f ms "
           "(%zu motions of %zu touching reports; %d reports at %d/s)\n",
           Percentile(lat, 0.5), Percentile(lat, 0.99), lat.empty() ? 0 : Percentile(lat, 1.0),
           arrived.size(), fed.size(), reports, rate);
    fflush(stdout);

    // CPU time at the frame's own rate, and with the frame attached but
    // untouched for comparison. The reads of a simulated board go through
    // the umockdev preload, whose own cost is part of the figure.
    const long hz = sysconf(_SC_CLK_TCK);
    {
        long idle0 = CpuTicks(svc.Pid());
        Clock::time_point i0 = Clock::now();
        zt::SleepMs(5000);
        double iw = std::chrono::duration<double>(Clock::now() - i0).count();
        long idle = CpuTicks(svc.Pid()) - idle0;
        printf("  service CPU with the frame untouched: %.2f %% of a core (%.1f s)\n",
               100.0 * (double)idle / (double)hz / iw, iw);
        fflush(stdout);
    }
    std::vector<Bytes> slow = Stream(cpuReports);
    long before = CpuTicks(svc.Pid());
    Clock::time_point t0 = Clock::now();
    Feed(board, slow, 200);
    board.WaitDrained(5000);
    double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    long used = CpuTicks(svc.Pid()) - before;
    double cpuMs = 1000.0 * (double)used / (double)hz;
    printf("  service CPU at 200 reports/s: %.1f ms per 1000 reports, %.2f %% of a core "
           "(%d reports in %.1f s; clock tick %ld ms)\n",
           cpuMs * 1000.0 / cpuReports, 100.0 * cpuMs / 1000.0 / wall, cpuReports, wall, 1000 / hz);
    fflush(stdout);

    svc.Stop(SIGTERM);

    // The same feed to a reader that does nothing else.
    long us = BareReader(board, slow);
    if (us >= 0)
        printf("  a bare reader of the simulated frame at 200 reports/s: %.1f ms per 1000 reports, "
               "%.2f %% of a core (the simulation's share of the figure above)\n",
               us / 1000.0 * 1000.0 / cpuReports, 100.0 * us / 1e6 / ((double)cpuReports / 200.0));
    return 0;
}
