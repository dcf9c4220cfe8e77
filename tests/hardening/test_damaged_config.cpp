// A damaged settings file: the service starts anyway with its defaults,
// says so once, drives the pointer with a board attached, and leaves the
// file exactly as it found it (the worker's start and end, which record the
// running board type, write nothing into a file they could not load).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <string>

#include "BoardSim.h"
#include "HardeningUtil.h"
#include "ZtTestEnv.h"

using namespace hardening;

namespace {

const char kDiagnostic[] = "**ZTLog**Config/config.xml cannot be loaded";

struct Damage {
    const char* name;
    std::string (*make)();
};

const Damage kDamages[] = {
    {"Empty", [] { return std::string(); }},
    {"Truncated", [] {
         std::string s = ShippedConfig();
         return s.substr(0, s.size() / 2);
     }},
    {"NotXml", [] { return std::string("port=4869\n\x01\x02\xff garbage [Global]\n"); }},
    // Well-formed, but 10 MB: refused as damaged rather than parsed by every
    // component at every start.
    {"Huge", [] {
         std::string s = ShippedConfig();
         size_t at = s.find("<ZTBoard>") + 9;
         return s.substr(0, at) + "<!--" + std::string(10 * 1024 * 1024, 'x') + "-->" + s.substr(at);
     }},
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

class DamagedConfig : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedConfig, StartsWithDefaultsSaysSoOnceAndLeavesTheFileAlone)
{
    zt::Xvfb x;
    ASSERT_TRUE(x.Ok());
    zt::WorkDir dir("damaged");
    const std::string text = GetParam().make();
    dir.WriteConfig(text);

    zt::sim::CBoardSim board;
    ASSERT_TRUE(board.Plug(0x1314, 0x1104, "ZEZ touch frame"));
    zt::ChildProcess svc;
    ASSERT_TRUE(svc.StartService(dir.Path()));
    ASSERT_TRUE(svc.WaitForLine("**ZTLog**DriverIPCPortNum>> 4869")) << svc.Output();
    EXPECT_TRUE(zt::WaitForTcpPort(4869)) << svc.Output();
    EXPECT_EQ(1, svc.CountLines(kDiagnostic)) << svc.Output();

    // The frame's worker runs on the built-in grid: a finger lands and lifts.
    ASSERT_TRUE(board.WaitSentReports(1, 10000)) << svc.Output();
    for (int i = 0; i < 3; ++i)
        board.QueueReport(FrameReport(7, 16000 + 200 * i, 16000));
    EXPECT_TRUE(LeftDown(WaitForButtons(LeftDown, 5000))) << svc.Output();
    board.QueueReport(FrameReport(0, 0, 0));
    EXPECT_TRUE(NoButton(WaitForButtons(NoButton, 5000))) << svc.Output();

    ASSERT_TRUE(board.Unplug());
    EXPECT_TRUE(svc.WaitForLine("**ZTLog**DestoryWorkThread")) << svc.Output();
    int st = svc.Stop(SIGTERM);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << svc.Output();

    EXPECT_EQ(1, svc.CountLines(kDiagnostic));
    const std::string after = dir.ReadConfig();
    EXPECT_EQ(text.size(), after.size());
    EXPECT_TRUE(after == text) << "the damaged file was rewritten";
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedConfig, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& i) { return i.param.name; });

// The shipped file: no diagnostic, and the worker's start and end record the
// running board type and the device in it.
TEST(HealthyConfig, SaysNothingAndRecordsTheRunningBoard)
{
    zt::Xvfb x;
    ASSERT_TRUE(x.Ok());
    zt::WorkDir dir("healthy");
    zt::sim::CBoardSim board;
    ASSERT_TRUE(board.Plug(0x1314, 0x1104, "ZEZ touch frame"));
    zt::ChildProcess svc;
    ASSERT_TRUE(svc.StartService(dir.Path()));
    ASSERT_TRUE(board.WaitSentReports(1, 10000)) << svc.Output();
    EXPECT_NE(std::string::npos, dir.ReadConfig().find("TYPE=\"ZTBoardWorkIRQ\"")) << svc.Output();
    ASSERT_TRUE(board.Unplug());
    EXPECT_TRUE(svc.WaitForLine("**ZTLog**DestoryWorkThread")) << svc.Output();
    svc.Stop(SIGTERM);
    EXPECT_EQ(0, svc.CountLines(kDiagnostic)) << svc.Output();
    EXPECT_NE(std::string::npos, dir.ReadConfig().find("TYPE=\"\"")) << svc.Output();
}

} // namespace
