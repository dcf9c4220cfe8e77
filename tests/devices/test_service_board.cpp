// The service binary with a simulated board: the watcher in the service
// finds the board at start, hands it to a worker, stops the worker when the
// board is unplugged, and picks up the board again when it comes back.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include "BoardSim.h"
#include "ZtTestEnv.h"

namespace {

TEST(ServiceWithBoard, PlugUnplugAndPlugAgain)
{
    zt::Xvfb x;
    ASSERT_TRUE(x.Ok());
    zt::WorkDir dir("svc_board");
    zt::sim::CBoardSim board;
    ASSERT_TRUE(board.Plug(0x1314, 0x1106, "ZEZ touch frame"));

    // Started after the first plug: the service inherits the simulated
    // devices and finds the board in its start-up enumeration.
    zt::ChildProcess svc;
    ASSERT_TRUE(svc.StartService(dir.Path()));
    ASSERT_TRUE(svc.WaitForLine("**ZTLog**CreateWorkThread>>12")) << svc.Output();
    EXPECT_EQ(1, svc.CountLines("**Quenlo**Open CDeviceHid>>1"));
    EXPECT_EQ(1, svc.CountLines("m_brun:0 bEnum:1")) << svc.Output();

    ASSERT_TRUE(board.Unplug());
    ASSERT_TRUE(svc.WaitForLine("**ZTLog**DestoryWorkThread")) << svc.Output();
    EXPECT_TRUE(svc.WaitForLine("pDevInfo->devPath----------" + board.InterfaceDevPath()));

    ASSERT_TRUE(board.Plug(0x1314, 0x1104, "ZEZ touch frame"));
    for (int i = 0; i < 100 && svc.CountLines("**ZTLog**CreateWorkThread>>12") < 2; ++i)
        zt::SleepMs(50);
    EXPECT_EQ(2, svc.CountLines("**ZTLog**CreateWorkThread>>12")) << svc.Output();
    EXPECT_EQ(2, svc.CountLines("**Quenlo**Open CDeviceHid>>1"));

    int st = svc.Stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(st)) << svc.Output();
    EXPECT_EQ(0, WEXITSTATUS(st)) << svc.Output();
}

} // namespace
