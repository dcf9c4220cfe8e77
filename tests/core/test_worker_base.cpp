// The worker base's read loop against a scripted device: the silence rule,
// the return of a silent board, dispatch by report class, failed reads, and
// the configuration the worker records while it runs.
#include <gtest/gtest.h>
#include <wx/init.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

#include "App/ZTBoardHost.h"
#include "ConfigXML.h"
#include "Device/DeviceBase.h"
#include "Pointer/MouseCtrlBase.h"
#include "Pointer/OrientProcess.h"
#include "Pointer/SidekeyProcess.h"
#include "Work/ZTBoardWorkBase.h"
#include "FakeBoard.h"
#include "ZtTestEnv.h"

namespace {

using namespace zt;

// A report that passes the default check: marker byte, class, XOR in byte 7.
ScriptedDevice::Step Report(int cls, unsigned char marker = 0xEE, bool goodSum = true)
{
    std::vector<unsigned char> b(8, 0);
    b[0] = marker;
    b[1] = (unsigned char)cls;
    b[2] = 0x10;
    unsigned char x = 0;
    for (int i = 0; i < 7; ++i)
        x ^= b[i];
    b[7] = goodSum ? x : (unsigned char)(x ^ 1);
    return {8, b};
}

std::deque<ScriptedDevice::Step> Silence(int n)
{
    return std::deque<ScriptedDevice::Step>(n, ScriptedDevice::Step{0, {}});
}

std::deque<ScriptedDevice::Step> operator+(std::deque<ScriptedDevice::Step> a,
                                           const std::deque<ScriptedDevice::Step>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class WorkerBaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir.reset(new zt::WorkDir("worker"));
        ASSERT_EQ(0, chdir(m_dir->Path().c_str()));
        m_host.reset(new LoggingHost(m_log));
        ZTSetHost(m_host.get());
    }
    void TearDown() override { ZTSetHost(nullptr); }

    // Runs a worker over the script until the script is used up, then stops it.
    void RunScript(std::deque<ScriptedDevice::Step> script, const char* workType = "ZTBoardWorkIRQ")
    {
        auto* dev = new ScriptedDevice(m_log, std::move(script));
        auto* w = new TestWorker(m_log, workType);
        auto exited = std::make_shared<wxSemaphore>(0, 1);
        w->SetExitSignal(exited);
        ASSERT_EQ(wxTHREAD_NO_ERROR, w->Create());
        ASSERT_TRUE(w->InitWork(dev));
        m_configWhileRunning = m_dir->ReadConfig();
        ASSERT_EQ(wxTHREAD_NO_ERROR, w->Run());
        ASSERT_TRUE(dev->WaitExhausted(10000));
        w->Delete();
        dev->Release();
        ASSERT_EQ(wxSEMA_NO_ERROR, exited->WaitTimeout(5000));
    }

    EventLog m_log;
    std::unique_ptr<LoggingHost> m_host;
    std::unique_ptr<zt::WorkDir> m_dir;
    std::string m_configWhileRunning;
};

TEST_F(WorkerBaseTest, SilentBoardIsQueriedAgainThenReportedOfflineOnce)
{
    RunScript(Silence(30));
    EXPECT_EQ(3, CZTBoardWorkBase::TimeLimit());
    // The start query, then one per empty read from the 4th on.
    EXPECT_EQ(1 + 27, m_log.Count("query"));
    EXPECT_EQ(1, m_log.Count("offline"));
    EXPECT_EQ(0, m_log.Count("online"));
    // The notice comes on the 9th empty read: 1 + 6 queries before it.
    auto ev = m_log.Events();
    int queries = 0;
    for (const auto& e : ev) {
        if (e == "offline")
            break;
        queries += e == "query";
    }
    EXPECT_EQ(1 + 6, queries);
}

TEST_F(WorkerBaseTest, ReturningBoardIsAnnouncedOnceBeforeItsReportIsHandled)
{
    RunScript(Silence(10) + std::deque<ScriptedDevice::Step>{Report(0), Report(1)} + Silence(10));
    auto ev = m_log.Events();
    std::vector<std::string> notices;
    for (const auto& e : ev)
        if (e == "online" || e == "offline" || e.rfind("class", 0) == 0)
            notices.push_back(e);
    // A second silence repeats the pattern: the count restarts at every full report.
    std::vector<std::string> expected = {"offline", "online", "class0", "class1", "offline"};
    EXPECT_EQ(expected, notices);
}

TEST_F(WorkerBaseTest, IrBoardIsToldItAnsweredAgain)
{
    RunScript(Silence(9) + std::deque<ScriptedDevice::Step>{Report(0)}, "ZTBoardWorkIR");
    auto ev = m_log.Events();
    auto off = std::find(ev.begin(), ev.end(), "offline");
    ASSERT_NE(ev.end(), off);
    auto mode = std::find(off, ev.end(), "mode14");
    auto on = std::find(off, ev.end(), "online");
    ASSERT_NE(ev.end(), mode);
    ASSERT_NE(ev.end(), on);
    EXPECT_LT(mode - ev.begin(), on - ev.begin());
}

TEST_F(WorkerBaseTest, UiBoardIsNeverQueriedNorReportedOffline)
{
    RunScript(Silence(30), "ZTBoardWorkUI");
    EXPECT_EQ(0, m_log.Count("query"));
    EXPECT_EQ(0, m_log.Count("offline"));
}

TEST_F(WorkerBaseTest, ReportsAreDispatchedByClass)
{
    std::deque<ScriptedDevice::Step> script;
    for (int cls : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 200})
        script.push_back(Report(cls, cls % 2 ? 0xAA : 0xEE));
    RunScript(script);
    std::vector<std::string> handled;
    for (const auto& e : m_log.Events())
        if (e.rfind("class", 0) == 0)
            handled.push_back(e);
    std::vector<std::string> expected = {"class0", "class1", "class2", "class3", "class4",
                                         "class5", "class6", "class7", "class8", "class9"};
    // 10 and above carry no point, and this device has no keys.
    EXPECT_EQ(expected, handled);
}

TEST_F(WorkerBaseTest, CorruptReportsAreDroppedAndResetTheSilenceCount)
{
    RunScript(Silence(8) + std::deque<ScriptedDevice::Step>{Report(0, 0x55), Report(1, 0xEE, false)} +
              Silence(8));
    EXPECT_EQ(0, m_log.Count("class0"));
    EXPECT_EQ(0, m_log.Count("class1"));
    EXPECT_EQ(0, m_log.Count("offline"));
}

TEST_F(WorkerBaseTest, ShortReportsCountAsSilence)
{
    RunScript(std::deque<ScriptedDevice::Step>(9, ScriptedDevice::Step{5, {0xEE, 0, 0, 0, 0}}));
    EXPECT_EQ(1, m_log.Count("offline"));
}

TEST_F(WorkerBaseTest, WorkerRecordsItsBoardInTheConfigurationWhileItRuns)
{
    RunScript(Silence(1));
    EXPECT_NE(std::string::npos, m_configWhileRunning.find("TYPE=\"ZTBoardWorkIRQ\""));
    EXPECT_NE(std::string::npos, m_configWhileRunning.find("path=\"/devices/test/1-1:1.0\""));
    std::string after = m_dir->ReadConfig();
    EXPECT_NE(std::string::npos, after.find("<CurrentRun TYPE=\"\"/>")) << after;
    EXPECT_EQ(1, m_log.Count("close"));
}

// A board whose reads fail at once (unplugged) must not make the loop spin.
TEST_F(WorkerBaseTest, FailingReadsDoNotSpin)
{
    RunScript(std::deque<ScriptedDevice::Step>(3, ScriptedDevice::Step{-1, {}}) + Silence(0));
    // Three failed reads, each followed by a read time-out's pause: the loop
    // queried the board far fewer times than a spinning loop would.
    EXPECT_LE(m_log.Count("query"), 3);
}

TEST_F(WorkerBaseTest, CommandInterfaceOfTheBase)
{
    TestWorker w(m_log, "ZTBoardWorkIRQ");
    struct Case {
        int cmd, mid;
        bool result;
        int state;
    } cases[] = {
        {0, 5, true, 0},  {1, 4, true, 1}, {0, 5, true, 1}, {0, 0, true, 0},
        {2, 28, true, 2}, {3, 0, true, 2}, {99, 0, false, 2}, {0, 0, true, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, w.SetWorkMode(c.cmd, c.mid)) << c.cmd << "," << c.mid;
        EXPECT_EQ(c.state, w.m_state.load()) << c.cmd << "," << c.mid;
    }
    EXPECT_EQ(-1, w.SendWorkMode());
    EXPECT_EQ(-1, w.ReadData(nullptr, 8));
    testing::internal::CaptureStdout();
    EXPECT_EQ(-1, w.WriteData(nullptr, 8));
    EXPECT_EQ("m_pDev = NULL\n", testing::internal::GetCapturedStdout());
}

// A contact resting on a side key presses it once; the model's release
// clears the latch so that the next touch presses it again.
TEST_F(WorkerBaseTest, SideKeyLatchesActOncePerContactAndChannel)
{
    auto* dev = new ScriptedDevice(m_log, {});
    TestWorker w(m_log, "ZTBoardWorkIRQ");
    ASSERT_TRUE(w.InitWork(dev));
    CSidekeyProcess* keys = w.m_pSidekey;
    keys->m_bSoftKey = true;
    keys->m_key[3] = BoardPoint{1000, 2000};
    keys->m_nTolX = keys->m_nTolY = 20;
    auto presses = [&] {
        int n = 0;
        for (const auto& e : m_log.Events())
            n += e.rfind("send:", 0) == 0 || e.rfind("command", 0) == 0;
        return n;
    };

    EXPECT_FALSE(w.CheckSideKey(500, 500, 1)); // not on a key
    EXPECT_TRUE(w.CheckSideKey(1005, 1995, 0)); // kind 0 only tests
    EXPECT_EQ(0, presses());
    EXPECT_TRUE(w.CheckSideKey(1005, 1995, 1));
    int once = presses();
    EXPECT_GT(once, 0);
    EXPECT_TRUE(w.CheckSideKey(1000, 2000, 1)); // same contact: latched
    EXPECT_EQ(once, presses());
    EXPECT_TRUE(w.CheckSideKey(1000, 2000, 2)); // the second channel has its own latch
    int twice = presses();
    EXPECT_GT(twice, once);
    w.m_bKeyDown1 = 0; // what the models' release does
    EXPECT_TRUE(w.CheckSideKey(1000, 2000, 1));
    EXPECT_GT(presses(), twice);
    dev->Release();
}

TEST_F(WorkerBaseTest, LimitOfTheFirstWorkerStaysForLaterWorkers)
{
    RunScript(Silence(1));
    ASSERT_EQ(3, CZTBoardWorkBase::TimeLimit());
    auto* dev = new ScriptedDevice(m_log, Silence(30));
    dev->m_nTimeout = 250; // would give 7
    auto* w = new TestWorker(m_log, "ZTBoardWorkIRQ");
    auto exited = std::make_shared<wxSemaphore>(0, 1);
    w->SetExitSignal(exited);
    ASSERT_EQ(wxTHREAD_NO_ERROR, w->Create());
    w->InitWork(dev);
    int before = m_log.Count("offline");
    w->Run();
    ASSERT_TRUE(dev->WaitExhausted(10000));
    w->Delete();
    dev->Release();
    ASSERT_EQ(wxSEMA_NO_ERROR, exited->WaitTimeout(5000));
    EXPECT_EQ(3, CZTBoardWorkBase::TimeLimit());
    EXPECT_EQ(before + 1, m_log.Count("offline"));
}

} // namespace

int main(int argc, char** argv)
{
    wxInitializer wx;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
