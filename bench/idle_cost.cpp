// Prints what an idle board costs the service binary: its CPU time while a
// simulated ZEZ frame is attached and silent, and while the frame's reads
// fail at once (a board that misbehaves but stays plugged), with the rate of
// the service's voluntary context switches, which shows the pace of its read
// loop (a spinning loop would switch thousands of times a second, or burn a
// core without switching).
//
//   bench_idle_cost [--silent S] [--failing F]   (seconds; defaults 60 and 20)
//
// It re-executes itself in private network and mount namespaces (the
// service's fixed ports and lock) and under the umockdev preload, and starts
// a private Xvfb.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BoardSim.h"
#include "ZtTestEnv.h"

namespace {

struct Usage {
    long ticks = -1;    // user + system, in clock ticks
    long switches = -1; // voluntary context switches, all threads
};

Usage Sample(pid_t pid)
{
    Usage u;
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    size_t p = line.rfind(')');
    if (p != std::string::npos) {
        std::istringstream ss(line.substr(p + 2));
        std::string f;
        long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && ss >> f; ++i) {
            if (i == 14)
                utime = atol(f.c_str());
            if (i == 15)
                stime = atol(f.c_str());
        }
        u.ticks = utime + stime;
    }
    // Threads' switches are summed over /proc/<pid>/task/*/status.
    std::string cmd = "cat /proc/" + std::to_string(pid) +
                      "/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ {s += $2} END {print s}'";
    if (FILE* fp = popen(cmd.c_str(), "r")) {
        long s = -1;
        if (fscanf(fp, "%ld", &s) == 1)
            u.switches = s;
        pclose(fp);
    }
    return u;
}

// Measures over `seconds` and prints one line; returns the CPU share in %.
double Measure(const char* what, pid_t pid, int seconds)
{
    const double hz = (double)sysconf(_SC_CLK_TCK);
    Usage a = Sample(pid);
    zt::SleepMs(seconds * 1000);
    Usage b = Sample(pid);
    double cpu = (double)(b.ticks - a.ticks) / hz;
    double share = 100.0 * cpu / seconds;
    double rate = (double)(b.switches - a.switches) / seconds;
    printf("%-44s %3d s: CPU %.2f s (%.3f %% of the time), %.1f voluntary switches/s\n", what,
           seconds, cpu, share, rate);
    fflush(stdout);
    return share;
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
        fprintf(stderr, "bench_idle_cost: cannot isolate; running as is\n");
    }
    zt::sim::ZTSimEnsurePreload(argc, argv);

    int silent = 60, failing = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--silent"))
            silent = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--failing"))
            failing = atoi(argv[i + 1]);
    }
    if (silent <= 0 || failing <= 0) {
        fprintf(stderr, "usage: bench_idle_cost [--silent S] [--failing F]\n");
        return 2;
    }
    setenv("GDK_GL", "disable", 1);
    zt::Xvfb x(1920, 1080);
    zt::WorkDir dir("bench_idle_cost");
    zt::sim::CBoardSim board;
    zt::ChildProcess svc;
    if (!x.Ok() || !board.Plug(0x1314, 0x1104, "ZEZ touch frame") ||
        !svc.StartService(dir.Path()) || !board.WaitSentReports(1, 15000)) {
        fprintf(stderr, "bench_idle_cost: set-up failed\n%s", svc.Output().c_str());
        return 1;
    }
    printf("Service binary %d, simulated ZEZ frame 1314:1104 attached, Xvfb %s\n", (int)svc.Pid(),
           x.DisplayName().c_str());
    // Start-up is over once the worker has sent its start command.
    zt::SleepMs(2000);
    double a = Measure("frame attached and silent", svc.Pid(), silent);
    board.SetReadError(true);
    double b = Measure("frame attached, every read fails at once", svc.Pid(), failing);
    board.SetReadError(false);
    printf("the service reported the failing reads: %s\n",
           svc.CountLines("board read failed") > 0 ? "yes" : "NO");
    printf("silent frame below 1 %% of the time: %s; failing reads below 1 %%: %s\n",
           a < 1 ? "yes" : "NO", b < 1 ? "yes" : "NO");
    if (!svc.Running())
        printf("the service ended during the measurement:\n%s", svc.Output().c_str());
    svc.Stop(SIGTERM);
    return 0;
}
