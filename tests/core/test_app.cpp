// The application object in the test process: its command events and
// one-shot timers, the worker hand-over and the companion notices.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "App/ZTBoardApp.h"
#include "AppFixture.h"
#include "FakeBoard.h"

namespace {

using namespace zt;

// A UDP listener on the whiteboard software's port.
class SoftwarePort {
public:
    SoftwarePort()
    {
        m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(10000);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_fd, (sockaddr*)&a, sizeof a);
        fcntl(m_fd, F_SETFL, O_NONBLOCK);
    }
    ~SoftwarePort() { close(m_fd); }
    // Collects what arrived so far.
    std::vector<std::string>& Poll()
    {
        char buf[256];
        ssize_t n;
        while ((n = recv(m_fd, buf, sizeof buf, 0)) > 0)
            m_got.emplace_back(buf, (size_t)n);
        return m_got;
    }

private:
    int m_fd;
    std::vector<std::string> m_got;
};

bool CanBindUdp(int port)
{
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    bool ok = bind(fd, (sockaddr*)&a, sizeof a) == 0;
    close(fd);
    return ok;
}

void WriteScript(const std::string& path, const std::string& marker)
{
    std::ofstream(path) << "#!/bin/sh\ntouch '" << marker << "'\n";
    chmod(path.c_str(), 0755);
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_app.reset(new AppFixture("app"));
        ASSERT_TRUE(m_app->Started());
    }
    void TearDown() override
    {
        if (m_dev)
            m_dev->Release();
        m_app.reset();
    }
    CZTBoardApp& App() { return wxGetApp(); }

    // A running worker on a board that stays silent.
    void StartWorker()
    {
        m_dev = new ScriptedDevice(m_log, {});
        auto* w = new TestWorker(m_log, "ZTBoardWorkIRQ");
        ASSERT_TRUE(App().StartWorker(w, 12, m_dev));
    }
    DeviceInfo OtherDevice()
    {
        DeviceInfo d = ScriptedDevice::Info();
        static char other[] = "/devices/other/2-1:1.0";
        d.pDevPath = other;
        return d;
    }

    std::unique_ptr<AppFixture> m_app;
    EventLog m_log;
    ScriptedDevice* m_dev = nullptr;
};

TEST_F(AppTest, ReleaseTimerRestartsOnEveryArmingAndFiresOnce)
{
    StartWorker();
    App().PostAppCommand(2);
    m_app->RunFor(60);
    App().PostAppCommand(2);
    m_app->RunFor(70); // 130 ms after the first arming, 70 after the second
    EXPECT_EQ(0, m_log.Count("class2"));
    EXPECT_TRUE(m_app->RunUntil([&] { return m_log.Count("class2") == 1; }, 2000));
    m_app->RunFor(200);
    EXPECT_EQ(1, m_log.Count("class2"));
}

TEST_F(AppTest, TimerAfterTheWorkerWasDestroyedDoesNothing)
{
    StartWorker();
    App().PostAppCommand(2);
    App().PostAppCommand(3);
    m_app->RunFor(10);
    DeviceInfo info = ScriptedDevice::Info();
    m_dev->Release();
    EXPECT_TRUE(App().DestoryWorkThread(&info));
    m_dev = nullptr;
    m_app->RunFor(700);
    EXPECT_EQ(0, m_log.Count("class2"));
    EXPECT_EQ(1, m_log.Count("close"));
}

TEST_F(AppTest, DestroyForAnotherDeviceChangesNothing)
{
    StartWorker();
    DeviceInfo other = OtherDevice();
    EXPECT_FALSE(App().DestoryWorkThread(&other));
    EXPECT_TRUE(App().IsWorkRun());
    EXPECT_NE(nullptr, App().m_pWorkThread.load());
    EXPECT_EQ(0, m_log.Count("close"));
}

TEST_F(AppTest, CompanionHearsOnlineThenOfflineAndTheSocketIsReleased)
{
    SoftwarePort port;
    StartWorker();
    ASSERT_TRUE(m_app->RunUntil([&] { return port.Poll().size() >= 2; }));
    EXPECT_NE(std::string::npos, port.Poll()[0].find("Connect")) << port.Poll()[0];
    EXPECT_NE(std::string::npos, port.Poll()[1].find("IsStart")) << port.Poll()[1];
    EXPECT_FALSE(CanBindUdp(9999));

    DeviceInfo info = ScriptedDevice::Info();
    m_dev->Release();
    ASSERT_TRUE(App().DestoryWorkThread(&info));
    m_dev = nullptr;
    ASSERT_TRUE(m_app->RunUntil([&] { return port.Poll().size() >= 3; }));
    EXPECT_NE(std::string::npos, port.Poll()[2].find("DisConnect")) << port.Poll()[2];
    EXPECT_FALSE(App().IsWorkRun());
    EXPECT_TRUE(m_app->RunUntil([] { return CanBindUdp(9999); }, 2000));
}

TEST_F(AppTest, OfflineWithoutCompanionSocketOnlyPrints)
{
    ::testing::internal::CaptureStdout();
    App().SendConnectToSoft(false);
    m_app->RunFor(20);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ("SendConnectToSoft: 0--m_pIPCSocket: (nil)\n", out);
    EXPECT_TRUE(CanBindUdp(9999));
}

TEST_F(AppTest, CalibrationProgramRunsFromTheWorkingDirectory)
{
    std::string marker = m_app->Dir().Path() + "/orient-ran";
    WriteScript(m_app->Dir().Path() + "/Orient_Run", marker);
    App().PostAppCommand(1);
    EXPECT_TRUE(m_app->RunUntil([&] { return Exists(marker); }, 5000));
    App().PostAppCommand(4); // no NotTouch_Run: nothing happens
    m_app->RunFor(50);
}

TEST_F(AppTest, WhiteboardSoftwareStartsOnlyWhenNotRunning)
{
    std::string marker = m_app->Dir().Path() + "/software-ran";
    std::string launcher = m_app->Dir().Path() + "/run";
    WriteScript(launcher, marker);
    setenv("ZTBOARD_SOFTWARE_RUN", launcher.c_str(), 1);

    // A process whose command is ".../ZTWBSW" counts as the running software.
    std::string fake = m_app->Dir().Path() + "/ZTWBSW";
    ASSERT_EQ(0, symlink("/bin/sleep", fake.c_str()));
    ChildProcess running;
    ASSERT_TRUE(running.Start({fake, "30"}));
    ASSERT_TRUE(m_app->RunUntil([&] { return CZTBoardApp::FindProcess("ZTWBSW", true) == running.Pid(); }, 2000));
    App().PostAppCommand(0);
    m_app->RunFor(300);
    EXPECT_FALSE(Exists(marker));

    running.Stop(SIGKILL);
    EXPECT_EQ(-1, CZTBoardApp::FindProcess("ZTWBSW", true));
    App().PostAppCommand(0);
    EXPECT_TRUE(m_app->RunUntil([&] { return Exists(marker); }, 5000));
}

TEST_F(AppTest, UnknownCommandIndexDoesNothing)
{
    App().PostAppCommand(5);
    App().PostAppCommand(-1);
    m_app->RunFor(20);
    EXPECT_FALSE(App().m_timerRelease.IsRunning());
    EXPECT_FALSE(App().m_timerKey.IsRunning());
}

TEST_F(AppTest, FactoryWithoutClassStillAnnouncesOnline)
{
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(App().CreateWorkThread(3, nullptr));
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("**ZTLog**CreateWorkThread>>3")) << out;
    EXPECT_NE(std::string::npos, out.find("SendConnectToSoft: 1")) << out;
    EXPECT_EQ(nullptr, App().m_pWorkThread.load());
    EXPECT_TRUE(App().IsWorkRun());
}

} // namespace
