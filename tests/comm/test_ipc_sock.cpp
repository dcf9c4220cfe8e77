// The UDP link with the whiteboard software, through the real application in
// the test process: real datagrams to port 9999, replies caught on 10000.
#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "App/ZTBoardApp.h"
#include "AppFixture.h"
#include "CommTestUtil.h"
#include "Comm/ZTBoardIPCSock.h"

using namespace ztcomm;
using Commands = std::vector<std::pair<int, int>>;

namespace {

const char kDevPath[] = "/devices/pci0000:00/usb1/1-1/1-1:1.0";

class CompanionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_app.reset(new zt::AppFixture("comm"));
        ASSERT_TRUE(m_app->Started());
        m_soft.reset(new UdpPeer("127.0.0.1", CZTBoardIPCSock::PORT_SOFTWARE));
        ASSERT_TRUE(m_soft->Ok());
        m_sender.reset(new UdpPeer("127.0.0.1", 0));
        g_bSoftOnline = false;
        g_bInBoardFrm = false;
    }
    void TearDown() override { m_app.reset(); }

    CZTBoardApp& App() { return wxGetApp(); }
    std::function<void()> Pump()
    {
        return [this] { m_app->RunFor(2); };
    }

    // A board on line with a worker that records its commands; the two
    // announcements are consumed.
    void StartBoard(int code = 12)
    {
        m_worker = new CRecordingWorker();
        ASSERT_TRUE(App().StartWorker(m_worker, code, new CFakeDevice(kDevPath, code)));
        ASSERT_EQ("#ZT@Connect@StyleIRQ", m_soft->Recv(3000, Pump()));
        ASSERT_EQ("#ZT@IsStart", m_soft->Recv(3000, Pump()));
    }

    void Send(const std::string& text) { ASSERT_TRUE(m_sender->SendTo("127.0.0.1", 9999, text)); }

    // Sends text, then a WorkRect whose centre no row uses: once the worker
    // has that, the service has handled text (datagrams are handled in
    // order). Returns the commands text gave.
    Commands SendAndSettle(const std::string& text)
    {
        m_worker->ClearCommands();
        Send(text);
        Send("#ZT@WorkRect@-7777,0,0,0");
        std::pair<int, int> sentinel(11, -7777);
        bool seen = m_app->RunUntil(
            [&] {
                for (auto& c : m_worker->Commands())
                    if (c == sentinel)
                        return true;
                return false;
            },
            3000);
        EXPECT_TRUE(seen) << "not handled after: " << text;
        Commands got = m_worker->Commands();
        if (!got.empty() && got.back() == sentinel)
            got.pop_back();
        return got;
    }

    std::unique_ptr<zt::AppFixture> m_app;
    std::unique_ptr<UdpPeer> m_soft;
    std::unique_ptr<UdpPeer> m_sender;
    CRecordingWorker* m_worker = nullptr;
};

struct Row {
    const char* name;
    std::string text;
    Commands commands;
    bool softBefore, softAfter;
    bool frmBefore, frmAfter;
    const char* reply; // null: nothing sent back
};

TEST_F(CompanionTest, ReceiveTableWithABoardOnLine)
{
    StartBoard();
    std::string padded = "#ZT@StartDual@" + std::string(32, '0') + "5000" + std::string(10, '9');
    const Row rows[] = {
        {"split before full", "#ZT@StartDualSplit@5000", {{9, 5000}}, false, false, false, false, nullptr},
        {"full", "#ZT@StartDual@5000", {{8, 5000}}, false, false, false, false, nullptr},
        {"split without port", "#ZT@StartDualSplit", {{9, 0}}, false, false, false, false, nullptr},
        {"shut down", "#ZT@ShutDownDual", {{10, 0}}, false, false, false, false, nullptr},
        {"work rect centre", "#ZT@WorkRect@100,0,800,600", {{11, 500}}, false, false, false, false, nullptr},
        {"work rect malformed", "#ZT@WorkRect@1,2", {}, false, false, false, false, nullptr},
        {"start", "#ZT@Start", {}, false, true, false, false, "#ZT@Connect@StyleIRQ"},
        {"close", "#ZT@Close", {{10, 0}}, true, false, false, false, nullptr},
        {"earea", "#ZT@Earea", {}, false, false, false, false, nullptr},
        {"mouse", "#ZT@Mouse", {}, false, false, false, false, nullptr},
        {"pen", "#ZT@Pen", {}, false, false, false, false, nullptr},
        {"in board frame", "#ZT@InBoardFrm", {}, false, false, false, true, nullptr},
        {"not in board frame", "#ZT@NotInBoardFrm", {}, false, false, true, false, nullptr},
        {"line feed after start", "#ZT@Start\n", {}, false, false, false, false, nullptr},
        {"blank after close", "#ZT@Close ", {}, true, true, false, false, nullptr},
        {"longer word", "#ZT@StartX", {}, false, false, false, false, nullptr},
        {"three characters", "#ZT", {}, false, false, false, false, nullptr},
        {"empty datagram", "", {}, false, false, false, false, nullptr},
        {"other header", "#XY@Start", {}, false, false, false, false, nullptr},
        {"header only", "#ZT@", {}, false, false, false, false, nullptr},
        // Only the first 50 bytes count: the port ends at byte 50.
        {"60-byte datagram cut at 50", padded, {{8, 5000}}, false, false, false, false, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        g_bSoftOnline = r.softBefore;
        g_bInBoardFrm = r.frmBefore;
        EXPECT_EQ(r.commands, SendAndSettle(r.text));
        EXPECT_EQ(r.softAfter, (bool)g_bSoftOnline);
        EXPECT_EQ(r.frmAfter, (bool)g_bInBoardFrm);
        bool got = false;
        std::string reply = m_soft->Recv(r.reply ? 3000 : 0, Pump(), &got);
        if (r.reply)
            EXPECT_EQ(r.reply, reply);
        else
            EXPECT_FALSE(got) << reply;
    }
}

TEST_F(CompanionTest, WorkRectPrintsItsArgumentNumbersAndCentre)
{
    StartBoard();
    ::testing::internal::CaptureStdout();
    Commands got = SendAndSettle("#ZT@WorkRect@100,0,800,600");
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ((Commands{{11, 500}}), got);
    EXPECT_NE(std::string::npos, out.find("**Quenlo**OnRecv>>#ZT@WorkRect@100,0,800,600\n")) << out;
    EXPECT_NE(std::string::npos, out.find("str=100,0,800,600  (100, 0, 800, 600) mid = 500\n")) << out;
}

TEST_F(CompanionTest, StartAfterTheBoardFellSilentRepliesDisconnectWithoutStyle)
{
    StartBoard();
    App().SendConnectToSoft(false);
    EXPECT_EQ("#ZT@DisConnect@StyleIRQ", m_soft->Recv(3000, Pump()));
    Send("#ZT@Start");
    EXPECT_EQ("#ZT@DisConnect", m_soft->Recv(3000, Pump()));
    EXPECT_TRUE(g_bSoftOnline);
}

TEST_F(CompanionTest, WithoutABoardOnlyTheFlagsChange)
{
    ASSERT_TRUE(App().ConnectIPCSocket());
    ::testing::internal::CaptureStdout();
    Send("#ZT@ShutDownDual");
    Send("#ZT@InBoardFrm");
    bool handled = m_app->RunUntil([] { return (bool)g_bInBoardFrm; }, 3000);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(handled);
    EXPECT_NE(std::string::npos, out.find("**Quenlo**OnRecv>>#ZT@ShutDownDual\n")) << out;

    g_bSoftOnline = true;
    Send("#ZT@Close");
    EXPECT_TRUE(m_app->RunUntil([] { return !g_bSoftOnline; }, 3000));
    Send("#ZT@Start");
    EXPECT_EQ("#ZT@DisConnect", m_soft->Recv(3000, Pump()));
    EXPECT_TRUE(g_bSoftOnline);
}

TEST_F(CompanionTest, BindFailureIsPrintedAndSendsGoNowhere)
{
    UdpPeer holder("127.0.0.1", 9999); // without address reuse
    ASSERT_TRUE(holder.Ok());
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(App().ConnectIPCSocket());
    App().OnSend("bard", 4);
    m_app->RunFor(50);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("**Quenlo**SoftIPCSocket is not ok >>")) << out;
    bool got = false;
    m_soft->Recv(200, Pump(), &got);
    EXPECT_FALSE(got);
}

TEST_F(CompanionTest, WordsFromTheWorkerThreadArriveUnchangedAndInOrder)
{
    StartBoard();
    m_worker->RunOnWorker([] {
        for (int i = 0; i < 200; ++i) {
            char word[16];
            int n = snprintf(word, sizeof word, "w%03d", i);
            ZTHost()->OnSend(word, n);
        }
    });
    for (int i = 0; i < 200; ++i) {
        char word[16];
        snprintf(word, sizeof word, "w%03d", i);
        ASSERT_EQ(word, m_soft->Recv(3000, Pump()));
    }
}

// The dual-screen commands open the TCP link to the named port; records the
// worker thread hands over reach the peer in order; shutting down closes it.
TEST_F(CompanionTest, DualScreenLinkFollowsTheCommands)
{
    StartBoard();
    TcpListener peer;
    ASSERT_TRUE(peer.Ok());
    std::string port = std::to_string(peer.Port());
    EXPECT_EQ((Commands{{9, peer.Port()}}), SendAndSettle("#ZT@StartDualSplit@" + port));
    int fd = peer.Accept(3000, Pump());
    ASSERT_GE(fd, 0);
    m_worker->RunOnWorker([] {
        ZTHost()->SendDualPoint(1, 10, 20);
        ZTHost()->SendDualData(2, TOUCH_BEGIN, 30, 40);
        ZTHost()->SendDualPoint(0, 10, 20);
    });
    std::string bytes = ReadBytes(fd, 60, 3000, Pump());
    ASSERT_EQ(60u, bytes.size());
    EXPECT_EQ((std::vector<int32_t>{-1, -1, 1, 10, 20}), Fields(bytes.substr(0, 20)));
    EXPECT_EQ((std::vector<int32_t>{-1, 2, 0, 30, 40}), Fields(bytes.substr(20, 20)));
    EXPECT_EQ((std::vector<int32_t>{-1, -1, 0, 10, 20}), Fields(bytes.substr(40, 20)));

    EXPECT_EQ((Commands{{10, 0}}), SendAndSettle("#ZT@ShutDownDual"));
    EXPECT_EQ("", ReadBytes(fd, 1, 3000, Pump())); // closed by the service
    close(fd);
    // Without a link the records go nowhere.
    m_worker->RunOnWorker([] { ZTHost()->SendDualPoint(1, 1, 1); });
    EXPECT_TRUE(m_app->RunUntil([&] { return m_worker->WorkerJobDone(); }, 3000));
    m_app->RunFor(20);
}

TEST_F(CompanionTest, ANewStartReplacesTheLinkAndAFailedOneLeavesNone)
{
    StartBoard();
    TcpListener first, second;
    SendAndSettle("#ZT@StartDual@" + std::to_string(first.Port()));
    int fd1 = first.Accept(3000, Pump());
    ASSERT_GE(fd1, 0);
    SendAndSettle("#ZT@StartDual@" + std::to_string(second.Port()));
    int fd2 = second.Accept(3000, Pump());
    ASSERT_GE(fd2, 0);
    EXPECT_EQ("", ReadBytes(fd1, 1, 3000, Pump()));
    App().SendDualPoint(3, 5, 6);
    EXPECT_EQ(20u, ReadBytes(fd2, 20, 3000, Pump()).size());

    int freePort;
    {
        TcpListener probe;
        freePort = probe.Port();
    }
    SendAndSettle("#ZT@StartDual@" + std::to_string(freePort));
    EXPECT_EQ("", ReadBytes(fd2, 1, 3000, Pump()));
    App().SendDualPoint(3, 5, 6);
    App().SendDualData(1, 1, 5, 6);
    m_app->RunFor(20);
    close(fd1);
    close(fd2);
}

// Only programs on this machine may steer the board: a datagram from another
// network address never reaches the command table.
TEST_F(CompanionTest, DatagramsFromAnotherAddressAreNotTaken)
{
    PeerNetns net;
    ASSERT_TRUE(net.Ok());
    StartBoard();
    net.Run([] {
        UdpPeer remote(PeerNetns::PeerAddr(), 0);
        ASSERT_TRUE(remote.Ok());
        remote.SendTo(PeerNetns::LocalAddr(), 9999, "#ZT@InBoardFrm");
    });
    m_app->RunFor(200);
    EXPECT_EQ(Commands{}, SendAndSettle("#ZT@Mouse"));
    EXPECT_FALSE(g_bInBoardFrm);
    // The same datagram over loopback is taken.
    SendAndSettle("#ZT@InBoardFrm");
    EXPECT_TRUE(g_bInBoardFrm);
}

} // namespace
