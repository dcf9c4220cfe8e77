// The service binary under a real X server: start-up, the single-instance
// rule, the IPC port and a clean stop.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "ZtTestEnv.h"

namespace {

// The service's message box: the one dialog window that is mapped.
Window FindDialog(Display* d)
{
    Atom type = XInternAtom(d, "_NET_WM_WINDOW_TYPE", False);
    Atom dialog = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n))
        return 0;
    for (unsigned i = 0; i < n && !found; ++i) {
        XWindowAttributes wa;
        if (!XGetWindowAttributes(d, children[i], &wa) || wa.map_state != IsViewable)
            continue;
        Atom actual;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, children[i], type, 0, 8, False, XA_ATOM, &actual, &format, &count,
                               &after, &data) == Success && data) {
            for (unsigned long k = 0; k < count; ++k)
                if (((Atom*)data)[k] == dialog)
                    found = children[i];
            XFree(data);
        }
    }
    if (children)
        XFree(children);
    return found;
}

// Closes it as a window manager would when the user clicks its close box.
void CloseWindow(Display* d, Window w)
{
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = (long)XInternAtom(d, "WM_DELETE_WINDOW", False);
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &ev);
    XSync(d, False);
}

Window WaitForDialog(Display* d, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        if (Window w = FindDialog(d))
            return w;
        zt::SleepMs(50);
    }
    return 0;
}

int ListenOn(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    if (bind(fd, (sockaddr*)&a, sizeof a) != 0 || listen(fd, 1) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

class ServiceTest : public ::testing::Test {
protected:
    zt::Xvfb x;
};

TEST_F(ServiceTest, StartsListensAndStopsCleanlyOnSigterm)
{
    ASSERT_TRUE(x.Ok());
    zt::WorkDir dir("svc");
    zt::ChildProcess svc;
    ASSERT_TRUE(svc.StartService(dir.Path()));
    ASSERT_TRUE(svc.WaitForLine("**ZTLog**DriverIPCPortNum>> 4869")) << svc.Output();
    EXPECT_TRUE(zt::WaitForTcpPort(4869));
    EXPECT_TRUE(svc.WaitForLine("**ZTLog**ZQ_Driver"));
    int st = svc.Stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(st)) << svc.Output();
    EXPECT_EQ(0, WEXITSTATUS(st)) << svc.Output();
}

TEST_F(ServiceTest, SigintAlsoEndsItCleanly)
{
    ASSERT_TRUE(x.Ok());
    zt::WorkDir dir("svc");
    zt::ChildProcess svc;
    ASSERT_TRUE(svc.StartService(dir.Path()));
    ASSERT_TRUE(zt::WaitForTcpPort(4869)) << svc.Output();
    int st = svc.Stop(SIGINT);
    ASSERT_TRUE(WIFEXITED(st)) << svc.Output();
    EXPECT_EQ(0, WEXITSTATUS(st));
}

TEST_F(ServiceTest, WithoutConfigFileListensOnDefaultPort)
{
    ASSERT_TRUE(x.Ok());
    zt::WorkDir dir("noconf", false);
    zt::ChildProcess svc;
    ASSERT_TRUE(svc.StartService(dir.Path()));
    EXPECT_TRUE(zt::WaitForTcpPort(4869)) << svc.Output();
    EXPECT_TRUE(svc.Running());
}

TEST_F(ServiceTest, ConfiguredPortIsUsed)
{
    ASSERT_TRUE(x.Ok());
    zt::WorkDir dir("port");
    std::string cfg = dir.ReadConfig();
    size_t at = cfg.find("<port num=\"4869\"/>");
    ASSERT_NE(std::string::npos, at);
    cfg.replace(at, 18, "<port num=\"5123\"/>");
    dir.WriteConfig(cfg);
    zt::ChildProcess svc;
    ASSERT_TRUE(svc.StartService(dir.Path()));
    EXPECT_TRUE(zt::WaitForTcpPort(5123)) << svc.Output();
    EXPECT_TRUE(svc.WaitForLine("**ZTLog**DriverIPCPortNum>> 5123"));
}

TEST_F(ServiceTest, TakenPortPrintsIpcErrorAndFails)
{
    ASSERT_TRUE(x.Ok());
    int fd = ListenOn(4869);
    ASSERT_GE(fd, 0);
    zt::WorkDir dir("taken");
    zt::ChildProcess svc;
    ASSERT_TRUE(svc.StartService(dir.Path()));
    int st = svc.Wait(15000);
    close(fd);
    ASSERT_NE(-1, st) << "service kept running with its port taken\n" << svc.Output();
    EXPECT_NE(std::string::npos, svc.Output().find("IPC ERROR\n")) << svc.Output();
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) != 0) << svc.Output();
}

TEST_F(ServiceTest, SecondInstanceShowsMessageAndLeavesFirstRunning)
{
    ASSERT_TRUE(x.Ok());
    zt::WorkDir dir("first");
    zt::ChildProcess first;
    ASSERT_TRUE(first.StartService(dir.Path()));
    ASSERT_TRUE(zt::WaitForTcpPort(4869)) << first.Output();

    zt::WorkDir dir2("second");
    zt::ChildProcess second;
    ASSERT_TRUE(second.StartService(dir2.Path()));
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(nullptr, d);
    Window box = WaitForDialog(d, 15000);
    ASSERT_NE(0u, box) << second.Output();
    EXPECT_TRUE(second.WaitForLine("The ZTBoardEP service is already running!")) << second.Output();
    EXPECT_TRUE(second.Running()) << "the message must wait for the user";
    CloseWindow(d, box);
    XCloseDisplay(d);

    int st = second.Wait(10000);
    ASSERT_NE(-1, st) << second.Output();
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) != 0);
    EXPECT_EQ(std::string::npos, second.Output().find("DriverIPCPortNum"));
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(zt::WaitForTcpPort(4869, 1000));
}

} // namespace
