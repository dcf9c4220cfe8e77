// The driver IPC server of the real application in the test process, driven
// by a client that speaks the framework's wire format byte for byte.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "App/ZTBoardApp.h"
#include "AppFixture.h"
#include "CommTestUtil.h"
#include "Comm/ZTBoardDriverIPC.h"

using namespace ztcomm;
using Commands = std::vector<std::pair<int, int>>;
using Ipc = RawIpcClient;

namespace {

const int kPort = 4869;
const char kDevPath[] = "/devices/pci0000:00/usb1/1-2/1-2:1.0";

class DriverIpcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_app.reset(new zt::AppFixture("ipc"));
        ASSERT_TRUE(m_app->Started());
    }
    void TearDown() override { m_app.reset(); }

    CZTBoardApp& App() { return wxGetApp(); }
    std::function<void()> Pump()
    {
        return [this] { m_app->RunFor(2); };
    }
    std::unique_ptr<Ipc> Client() { return std::unique_ptr<Ipc>(new Ipc(Pump())); }

    void StartBoard()
    {
        m_worker = new CRecordingWorker();
        ASSERT_TRUE(App().StartWorker(m_worker, 12, new CFakeDevice(kDevPath, 12)));
        m_app->RunFor(20);
    }
    void StopBoard()
    {
        DeviceInfo info;
        info.pDevPath = const_cast<char*>(kDevPath);
        ASSERT_TRUE(App().DestoryWorkThread(&info));
        m_worker = nullptr;
    }
    // Waits until the worker has at least n commands.
    Commands WaitCommands(size_t n, int timeoutMs = 3000)
    {
        m_app->RunUntil([&] { return m_worker->Commands().size() >= n; }, timeoutMs);
        m_app->RunFor(20);
        return m_worker->Commands();
    }
    static std::string Bytes(const char* p, size_t n) { return std::string(p, n); }

    std::unique_ptr<zt::AppFixture> m_app;
    CRecordingWorker* m_worker = nullptr;
};

TEST_F(DriverIpcTest, TopicTable)
{
    const struct {
        const char* topic;
        int answer;
    } rows[] = {
        {"Orient", Ipc::IPC_CONNECT},     {"SideKey", Ipc::IPC_CONNECT},
        {"PENSET", Ipc::IPC_CONNECT},     {"PENTRAYSET", Ipc::IPC_CONNECT},
        {"DriversSet", Ipc::IPC_CONNECT}, {"SetSpeed", Ipc::IPC_CONNECT},
        {"orient", Ipc::IPC_FAIL},        {"Orient ", Ipc::IPC_FAIL},
        {"", Ipc::IPC_FAIL},              {"Calibrate", Ipc::IPC_FAIL},
    };
    for (const auto& r : rows) {
        auto c = Client();
        EXPECT_EQ(r.answer, c->Connect(kPort, r.topic)) << r.topic;
    }
}

// One conversation at a time: a new connection ends the current one, also
// when its own topic is refused.
TEST_F(DriverIpcTest, ANewConnectionEndsThePreviousOne)
{
    auto settings = Client();
    ASSERT_EQ(Ipc::IPC_CONNECT, settings->Connect(kPort, "DriversSet"));
    auto orient = Client();
    ASSERT_EQ(Ipc::IPC_CONNECT, orient->Connect(kPort, "Orient"));
    EXPECT_EQ(Ipc::IPC_DISCONNECT, settings->Next().code);
    EXPECT_EQ(0, settings->Next().code); // and closed

    auto bogus = Client();
    EXPECT_EQ(Ipc::IPC_FAIL, bogus->Connect(kPort, "Bogus"));
    EXPECT_EQ(Ipc::IPC_DISCONNECT, orient->Next().code);
    EXPECT_EQ(0, orient->Next().code);
    EXPECT_EQ(nullptr, App().GetIPCServer()->m_pConnection);
}

struct StartRow {
    const char* topic;
    const char* item;
    Commands commands;
    const char* line; // printed on a line of its own, or null
};

TEST_F(DriverIpcTest, AdviseStartTable)
{
    StartBoard();
    const StartRow rows[] = {
        {"Orient", "9", {{1, 9}}, nullptr},
        {"SideKey", "28", {{2, 28}}, nullptr},
        {"SideKey", "0", {{3, 0}}, nullptr},
        {"SideKey", "-3", {{3, 0}}, nullptr},
        {"SideKey", "abc", {{3, 0}}, nullptr},
        {"PENSET", "pen", {{4, 0}}, "PENSET"},
        {"PENTRAYSET", "tray", {{13, 0}}, "PENTRAYSET"},
        {"SetSpeed", "7", {{12, 7}}, nullptr},
        {"SetSpeed", "fast", {{12, 0}}, nullptr},
        {"DriversSet", "save", {{5, 0}}, nullptr},
        {"DriversSet", "data", {{6, 1}}, nullptr},
        {"DriversSet", "auto0", {{7, 0}}, nullptr},
        {"DriversSet", "auto1", {{7, 1}}, "auto1"},
        {"DriversSet", "auto2", {{7, 2}}, nullptr},
        {"DriversSet", "auto3", {{7, 3}}, nullptr},
        {"DriversSet", "auto4", {}, nullptr},
        {"DriversSet", "Save", {}, nullptr},
    };
    for (const StartRow& r : rows) {
        SCOPED_TRACE(std::string(r.topic) + "/" + r.item);
        auto c = Client();
        ASSERT_EQ(Ipc::IPC_CONNECT, c->Connect(kPort, r.topic));
        m_worker->ClearCommands();
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(Ipc::IPC_ADVISE_START, c->StartAdvise(r.item));
        m_app->RunFor(10);
        std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(r.commands, m_worker->Commands());
        if (r.line)
            EXPECT_NE(std::string::npos, ("\n" + out).find("\n" + std::string(r.line) + "\n")) << out;
        auto* conn = App().GetIPCServer()->m_pConnection;
        ASSERT_NE(nullptr, conn);
        EXPECT_EQ(wxString(r.item), conn->m_strItem);
    }
}

TEST_F(DriverIpcTest, AdviseStopTable)
{
    StartBoard();
    const struct {
        const char* topic;
        const char* item;
        Commands commands;
    } rows[] = {
        {"Orient", "9", {{0, 0}}},      {"SideKey", "28", {{0, 0}}},
        {"DriversSet", "data", {{6, 0}}}, {"DriversSet", "save", {}},
        {"PENSET", "x", {}},            {"SetSpeed", "3", {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.topic) + "/" + r.item);
        auto c = Client();
        ASSERT_EQ(Ipc::IPC_CONNECT, c->Connect(kPort, r.topic));
        ASSERT_EQ(Ipc::IPC_ADVISE_START, c->StartAdvise(r.item));
        m_app->RunFor(10);
        m_worker->ClearCommands();
        EXPECT_EQ(Ipc::IPC_ADVISE_STOP, c->StopAdvise(r.item));
        m_app->RunFor(10);
        EXPECT_EQ(r.commands, m_worker->Commands());
    }
}

TEST_F(DriverIpcTest, DisconnectEndsCalibrationAndSizeReports)
{
    StartBoard();
    {
        auto c = Client();
        ASSERT_EQ(Ipc::IPC_CONNECT, c->Connect(kPort, "Orient"));
        m_worker->ClearCommands();
        c->Disconnect();
        EXPECT_EQ((Commands{{0, 0}, {6, 0}}), WaitCommands(2));
    }
    {
        // A tool that ends without saying goodbye.
        auto c = Client();
        ASSERT_EQ(Ipc::IPC_CONNECT, c->Connect(kPort, "DriversSet"));
        m_worker->ClearCommands();
        c->Close();
        EXPECT_EQ((Commands{{0, 0}, {6, 0}}), WaitCommands(2));
    }
    // The conversation object stays with the server until the next accept.
    EXPECT_NE(nullptr, App().GetIPCServer()->m_pConnection);
}

TEST_F(DriverIpcTest, WithoutABoardAdviseStartFailsAndDisconnectOnlyRescans)
{
    auto c = Client();
    ASSERT_EQ(Ipc::IPC_CONNECT, c->Connect(kPort, "Orient"));
    EXPECT_EQ(Ipc::IPC_FAIL, c->StartAdvise("9"));
    EXPECT_EQ(Ipc::IPC_ADVISE_STOP, c->StopAdvise("9"));
    EXPECT_EQ(wxString(), App().GetIPCServer()->m_pConnection->m_strItem);
    ::testing::internal::CaptureStdout();
    c->Disconnect();
    m_app->RunUntil([&] { return false; }, 100);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("IPC disconnected>> Orient")) << out;
}

TEST_F(DriverIpcTest, AdviseDataCarriesThreeCharactersAndANul)
{
    StartBoard();
    auto c = Client();
    ASSERT_EQ(Ipc::IPC_CONNECT, c->Connect(kPort, "Orient"));
    // Before any advise start nothing is sent.
    App().AdviseData("fin");
    EXPECT_EQ(-1, c->Next(200).code);

    ASSERT_EQ(Ipc::IPC_ADVISE_START, c->StartAdvise("9"));
    const struct {
        const char* text;
        std::string bytes;
    } rows[] = {
        {"fin", Bytes("fin\0", 4)},
        {"1234", Bytes("123\0", 4)},
        {"a", Bytes("a\0\0\0", 4)},
        {"", Bytes("\0\0\0\0", 4)},
    };
    for (const auto& r : rows) {
        App().AdviseData(r.text);
        Ipc::Msg m = c->Next();
        EXPECT_EQ(Ipc::IPC_ADVISE, m.code) << r.text;
        EXPECT_EQ("9", m.item);
        EXPECT_EQ(20, m.format);
        EXPECT_EQ(r.bytes, m.data) << r.text;
    }

    // Stopping the advise loop keeps the item.
    ASSERT_EQ(Ipc::IPC_ADVISE_STOP, c->StopAdvise("9"));
    App().AdviseData("fin");
    Ipc::Msg m = c->Next();
    EXPECT_EQ(Ipc::IPC_ADVISE, m.code);
    EXPECT_EQ("9", m.item);

    // So does a failed advise start once the board has gone.
    StopBoard();
    EXPECT_EQ(Ipc::IPC_FAIL, c->StartAdvise("5"));
    App().AdviseData("fin");
    m = c->Next();
    EXPECT_EQ(Ipc::IPC_ADVISE, m.code);
    EXPECT_EQ("9", m.item);
}

// The worker thread's replies reach the client intact and in order.
TEST_F(DriverIpcTest, AdvisesFromTheWorkerThreadArriveIntactInOrder)
{
    StartBoard();
    auto c = Client();
    ASSERT_EQ(Ipc::IPC_CONNECT, c->Connect(kPort, "DriversSet"));
    ASSERT_EQ(Ipc::IPC_ADVISE_START, c->StartAdvise("data"));
    const int kCount = 2000;
    m_worker->RunOnWorker([] {
        for (int i = 0; i < kCount; ++i)
            ZTHost()->AdviseData(wxString::Format("%03d", i % 1000));
    });
    for (int i = 0; i < kCount; ++i) {
        Ipc::Msg m = c->Next();
        ASSERT_EQ(Ipc::IPC_ADVISE, m.code) << i;
        char want[5];
        snprintf(want, sizeof want, "%03d", i % 1000);
        ASSERT_EQ(Bytes(want, 4), m.data) << i;
    }
}

// A worker that answers at once while the advise start is being handled:
// the client gets the advise-start reply first, then the data.
TEST_F(DriverIpcTest, AdviseDuringAdviseStartComesAfterTheReply)
{
    StartBoard();
    m_worker->onCommand = [](int cmd, int mid) {
        if (cmd == 6 && mid == 1)
            ZTHost()->AdviseData("12");
    };
    auto c = Client();
    ASSERT_EQ(Ipc::IPC_CONNECT, c->Connect(kPort, "DriversSet"));
    EXPECT_EQ(Ipc::IPC_ADVISE_START, c->StartAdvise("data"));
    Ipc::Msg m = c->Next();
    EXPECT_EQ(Ipc::IPC_ADVISE, m.code);
    EXPECT_EQ("data", m.item);
    EXPECT_EQ(Bytes("12\0\0", 4), m.data);
}

TEST_F(DriverIpcTest, NoAdviseReachesAConversationThatHasEnded)
{
    StartBoard();
    auto c = Client();
    ASSERT_EQ(Ipc::IPC_CONNECT, c->Connect(kPort, "Orient"));
    ASSERT_EQ(Ipc::IPC_ADVISE_START, c->StartAdvise("9"));
    // Queued from the worker thread, then the conversation is replaced
    // before the main thread gets to them.
    m_worker->RunOnWorker([] {
        for (int i = 0; i < 50; ++i)
            ZTHost()->AdviseData("fin");
    });
    while (!m_worker->WorkerJobDone())
        usleep(1000);
    App().GetIPCServer()->CloseConnection();
    m_app->RunFor(50);
    EXPECT_EQ(Ipc::IPC_DISCONNECT, c->Next().code);
    EXPECT_EQ(0, c->Next().code);
}

// The camera viewer: the board is closed through the watcher (which ends the
// worker), and the viewer is accepted 2 s later.
TEST_F(DriverIpcTest, CameraViewerClosesTheBoardAndWaits)
{
    StartBoard();
    auto c = Client();
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(Ipc::IPC_CONNECT, c->Connect(kPort, "CAMVIEWER"));
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 1900);
    EXPECT_FALSE(App().IsWorkRun());
    EXPECT_EQ(nullptr, App().m_pWorkThread.load());
    // No board: the viewer's advise start fails.
    EXPECT_EQ(Ipc::IPC_FAIL, c->StartAdvise("x"));
}

TEST_F(DriverIpcTest, CameraViewerAdviseStartDoesNothingButIsAccepted)
{
    auto c = Client();
    ASSERT_EQ(Ipc::IPC_CONNECT, c->Connect(kPort, "CAMVIEWER"));
    StartBoard();
    m_worker->ClearCommands();
    EXPECT_EQ(Ipc::IPC_ADVISE_START, c->StartAdvise("view"));
    m_app->RunFor(10);
    EXPECT_EQ(Commands{}, m_worker->Commands());
    EXPECT_EQ(wxString("view"), App().GetIPCServer()->m_pConnection->m_strItem);
}

// Only tools on this machine may connect: from another network address the
// connection is refused by the system before the service sees it.
TEST_F(DriverIpcTest, ConnectionsFromAnotherAddressAreRefused)
{
    PeerNetns net;
    ASSERT_TRUE(net.Ok());
    int err = 0;
    bool connected = false;
    net.Run([&] {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(kPort);
        inet_pton(AF_INET, PeerNetns::LocalAddr(), &a.sin_addr);
        timeval tv{3, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        connected = connect(fd, (sockaddr*)&a, sizeof a) == 0;
        err = errno;
        close(fd);
    });
    EXPECT_FALSE(connected);
    EXPECT_EQ(ECONNREFUSED, err);
    m_app->RunFor(50);
    EXPECT_EQ(nullptr, App().GetIPCServer()->m_pConnection);
    // Over loopback it works.
    auto c = Client();
    EXPECT_EQ(Ipc::IPC_CONNECT, c->Connect(kPort, "Orient"));
}

} // namespace

namespace {

// A whole calibration conversation with a client built on the framework's
// own IPC classes, in a process of its own.
TEST_F(DriverIpcTest, CalibrationConversationWithAFrameworkClient)
{
    StartBoard();
    zt::ChildProcess tool;
    ASSERT_TRUE(tool.Start({ZT_IPC_CLIENT, std::to_string(kPort), "Orient", "start:9", "wait:2",
                            "stop:9", "disconnect"}));
    ASSERT_TRUE(m_app->RunUntil([&] { return tool.CountLines("start 1") == 1; }, 10000)) << tool.Output();
    EXPECT_EQ((Commands{{1, 9}}), m_worker->Commands());
    m_worker->RunOnWorker([] {
        ZTHost()->AdviseData("fin");
        ZTHost()->AdviseData("fin");
    });
    ASSERT_TRUE(m_app->RunUntil([&] { return tool.CountLines("advise 9 20 66696e00") == 2; }, 10000))
        << tool.Output();
    ASSERT_TRUE(m_app->RunUntil([&] { return !tool.Running(); }, 10000)) << tool.Output();
    EXPECT_EQ(1, tool.CountLines("stop 1")) << tool.Output();
    EXPECT_EQ((Commands{{1, 9}, {0, 0}, {0, 0}, {6, 0}}), WaitCommands(4));
}

} // namespace
