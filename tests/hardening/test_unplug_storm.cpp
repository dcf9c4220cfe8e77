// Pulling the cable again and again with a finger on the frame and its
// reports still arriving: the service must survive every cycle, release the
// button each time before the board is gone for good, and pick up the next
// plug.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "BoardSim.h"
#include "HardeningUtil.h"
#include "XRecorder.h"
#include "ZtTestEnv.h"

using namespace hardening;

namespace {

int Cycles()
{
    const char* v = getenv("ZT_STORM_CYCLES");
    int n = v ? atoi(v) : 0;
    return n > 0 ? n : 100;
}

// A finger moving on the frame, one report every few milliseconds, for as
// long as it runs; reports queued after the unplug go nowhere.
class Finger {
public:
    explicit Finger(zt::sim::CBoardSim& board) : m_board(board), m_thread([this] { Run(); }) {}
    ~Finger()
    {
        m_bStop = true;
        m_thread.join();
    }

private:
    void Run()
    {
        for (int i = 0; !m_bStop; ++i) {
            m_board.QueueReport(FrameReport(7, 9000 + 40 * (i % 100), 12000 + 30 * (i % 50)));
            zt::SleepMs(4);
        }
    }
    zt::sim::CBoardSim& m_board;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

// Waits until text has been printed n times.
bool WaitForCount(zt::ChildProcess& svc, const char* text, int n, int ms)
{
    for (int waited = 0; waited < ms; waited += 20) {
        if (svc.CountLines(text) >= n)
            return true;
        if (!svc.Running())
            return false;
        zt::SleepMs(20);
    }
    return svc.CountLines(text) >= n;
}

TEST(UnplugStorm, EveryUnplugWithAFingerDownReleasesTheButtonAndTheNextPlugWorks)
{
    zt::Xvfb x;
    ASSERT_TRUE(x.Ok());
    zt::WorkDir dir("storm");
    zt::XRecorder rec;
    ASSERT_TRUE(rec.Ok());
    zt::sim::CBoardSim board;
    zt::ChildProcess svc;
    const int cycles = Cycles();

    for (int i = 0; i < cycles; ++i) {
        SCOPED_TRACE("cycle " + std::to_string(i + 1));
        board.ClearSent();
        ASSERT_TRUE(board.Plug(0x1314, 0x1104, "ZEZ touch frame"));
        // Started after the first plug, so that it sees the simulated devices.
        if (i == 0) {
            ASSERT_TRUE(svc.StartService(dir.Path()));
        }
        ASSERT_TRUE(board.WaitSentReports(1, 15000)) << svc.Output();
        {
            Finger finger(board);
            ASSERT_TRUE(LeftDown(WaitForButtons(LeftDown, 10000))) << svc.Output();
            ASSERT_TRUE(board.Unplug());
            ASSERT_TRUE(WaitForCount(svc, "**ZTLog**DestoryWorkThread", i + 1, 10000))
                << svc.Output();
        }
        unsigned mask = WaitForButtons(NoButton, 3000);
        ASSERT_TRUE(NoButton(mask)) << "buttons 0x" << std::hex << mask << "\n" << svc.Output();
        ASSERT_TRUE(svc.Running()) << svc.Output();
    }

    rec.Settle();
    int presses = 0, releases = 0;
    for (const zt::XRecEvent& e : rec.Buttons())
        (e.type == 4 ? presses : releases) += e.button == 1;
    EXPECT_GE(presses, cycles);
    EXPECT_EQ(presses, releases);
    int st = svc.Stop(SIGTERM);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << svc.Output();
}

} // namespace
