// xwatch: prints the pointer events that reach an X server (from every
// client, through the RECORD extension) and, optionally, the datagrams that
// arrive on the whiteboard software's UDP port, one line each, as they come.
// Runs of motions are folded into one line.
//
//   xwatch [--display NAME] [--udp PORT] [--answer-start] [--ready FILE]
//
// --answer-start: answer the service's "#ZT@IsStart" as the whiteboard
// software does when it runs, with "#ZT@Start" to 127.0.0.1:9999; the
// service then counts it as on line. --ready FILE: created once watching.
// SIGINT or SIGTERM end it with a summary.
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

using Clock = std::chrono::steady_clock;
const Clock::time_point g_start = Clock::now();

double Seconds()
{
    return std::chrono::duration<double>(Clock::now() - g_start).count();
}

// A run of motions ends at a button event, a datagram or this much quiet.
const double kRunQuiet = 0.1;

struct Watch {
    int presses[6] = {};
    int releases[6] = {};
    int motions = 0;
    int datagrams = 0;

    // The run of motions being folded.
    int runCount = 0;
    int runX0 = 0, runY0 = 0, runX = 0, runY = 0;
    double runStart = 0, runLast = 0;

    void EndRun()
    {
        if (!runCount)
            return;
        if (runCount == 1)
            printf("%7.3f s  X    motion to (%d,%d)\n", runStart, runX, runY);
        else
            printf("%7.3f s  X    motion x%d from (%d,%d) to (%d,%d)\n", runStart, runCount, runX0,
                   runY0, runX, runY);
        runCount = 0;
        fflush(stdout);
    }

    void Motion(int x, int y)
    {
        double now = Seconds();
        if (runCount && now - runLast > kRunQuiet)
            EndRun();
        if (!runCount) {
            runX0 = x;
            runY0 = y;
            runStart = now;
        }
        ++runCount;
        ++motions;
        runX = x;
        runY = y;
        runLast = now;
    }

    void Button(bool down, int button, int x, int y)
    {
        EndRun();
        if (button >= 0 && button < 6)
            ++(down ? presses : releases)[button];
        printf("%7.3f s  X    %s %d at (%d,%d)\n", Seconds(), down ? "press  " : "release", button, x,
               y);
        fflush(stdout);
    }

    void Datagram(const std::string& text)
    {
        EndRun();
        ++datagrams;
        printf("%7.3f s  UDP  %s\n", Seconds(), text.c_str());
        fflush(stdout);
    }

    void Tick()
    {
        if (runCount && Seconds() - runLast > kRunQuiet)
            EndRun();
    }

    void Summary()
    {
        EndRun();
        printf("X server: %d motions; button 1 pressed %d, released %d; button 3 pressed %d, "
               "released %d\n",
               motions, presses[1], releases[1], presses[3], releases[3]);
        printf("Whiteboard software's port: %d datagrams\n", datagrams);
        fflush(stdout);
    }
};

Watch g_watch;

void OnRecord(XPointer, XRecordInterceptData* d)
{
    if (d->category == XRecordFromServer && d->data && d->data_len * 4 >= sizeof(xEvent)) {
        const xEvent* ev = (const xEvent*)d->data;
        int type = ev->u.u.type & 0x7f;
        int x = ev->u.keyButtonPointer.rootX, y = ev->u.keyButtonPointer.rootY;
        if (type == MotionNotify)
            g_watch.Motion(x, y);
        else if (type == ButtonPress || type == ButtonRelease)
            g_watch.Button(type == ButtonPress, ev->u.u.detail, x, y);
    }
    XRecordFreeData(d);
}

int OpenUdp(int port)
{
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, (sockaddr*)&a, sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void SendTo(int fd, int port, const char* text)
{
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sendto(fd, text, strlen(text), 0, (sockaddr*)&a, sizeof a);
}

void Usage()
{
    fprintf(stderr, "usage: xwatch [--display NAME] [--udp PORT] [--answer-start] [--ready FILE]\n");
}

} // namespace

int main(int argc, char** argv)
{
    const char* display = nullptr;
    const char* ready = nullptr;
    int udpPort = 0;
    bool answer = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--display" && i + 1 < argc)
            display = argv[++i];
        else if (a == "--udp" && i + 1 < argc)
            udpPort = atoi(argv[++i]);
        else if (a == "--ready" && i + 1 < argc)
            ready = argv[++i];
        else if (a == "--answer-start")
            answer = true;
        else {
            Usage();
            return 2;
        }
    }

    // Two connections: the context is controlled on one and delivers its
    // data on the other, which receives nothing else once enabled.
    Display* ctrl = XOpenDisplay(display);
    Display* data = XOpenDisplay(display);
    int major = 0, minor = 0;
    if (!ctrl || !data || !XRecordQueryVersion(ctrl, &major, &minor)) {
        fprintf(stderr, "xwatch: no X display with the RECORD extension (%s)\n",
                display ? display : getenv("DISPLAY") ? getenv("DISPLAY") : "DISPLAY unset");
        return 1;
    }
    XRecordRange* range = XRecordAllocRange();
    range->device_events.first = ButtonPress;
    range->device_events.last = MotionNotify;
    XRecordClientSpec clients = XRecordAllClients;
    XRecordContext context = XRecordCreateContext(ctrl, 0, &clients, 1, &range, 1);
    XFree(range);
    XSync(ctrl, False);
    if (!context || !XRecordEnableContextAsync(data, context, OnRecord, nullptr)) {
        fprintf(stderr, "xwatch: cannot record the X server's events\n");
        return 1;
    }

    int udp = -1;
    if (udpPort > 0 && (udp = OpenUdp(udpPort)) < 0) {
        fprintf(stderr, "xwatch: cannot listen on UDP 127.0.0.1:%d: %s\n", udpPort, strerror(errno));
        return 1;
    }

    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
    if (ready) {
        FILE* f = fopen(ready, "w");
        if (f)
            fclose(f);
    }

    pollfd fds[2] = {{ConnectionNumber(data), POLLIN, 0}, {udp, POLLIN, 0}};
    while (!g_stop) {
        // The server hands recorded data over when it flushes its output,
        // which a round trip on the control connection makes it do.
        XRecordProcessReplies(data);
        XSync(ctrl, False);
        poll(fds, udp >= 0 ? 2 : 1, 10);
        XRecordProcessReplies(data);
        if (udp >= 0 && (fds[1].revents & POLLIN)) {
            char buf[256];
            ssize_t n = recv(udp, buf, sizeof buf - 1, 0);
            if (n >= 0) {
                std::string text(buf, (size_t)n);
                g_watch.Datagram(text);
                if (answer && text == "#ZT@IsStart")
                    SendTo(udp, 9999, "#ZT@Start");
            }
        }
        g_watch.Tick();
    }
    XRecordProcessReplies(data);
    g_watch.Summary();

    XRecordDisableContext(ctrl, context);
    XRecordFreeContext(ctrl, context);
    XSync(ctrl, False);
    XCloseDisplay(data);
    XCloseDisplay(ctrl);
    if (udp >= 0)
        close(udp);
    return 0;
}
