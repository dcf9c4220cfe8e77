// Side keys in the real application: presses come from a worker thread, the
// application's 500 ms key timer decides single and double presses, the
// words reach a UDP listener on the whiteboard software's port, and the
// program launches and right clicks really happen.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/utils.h>

#include <chrono>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "App/ZTBoardApp.h"
#include "AppFixture.h"
#include "Pointer/SidekeyProcess.h"
#include "Work/ZTBoardWorkBase.h"
#include "XRecorder.h"

namespace {

using namespace zt;

long NowMs()
{
    using namespace std::chrono;
    return (long)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The whiteboard software's end of the companion link: every datagram with
// the time it was seen.
class SoftwarePort {
public:
    struct Msg {
        std::string text;
        long ms;
    };
    SoftwarePort()
    {
        m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(10000);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_bOk = bind(m_fd, (sockaddr*)&a, sizeof a) == 0;
        fcntl(m_fd, F_SETFL, O_NONBLOCK);
    }
    ~SoftwarePort() { close(m_fd); }
    bool Ok() const { return m_bOk; }
    const std::vector<Msg>& Poll()
    {
        char buf[256];
        ssize_t n;
        while ((n = recv(m_fd, buf, sizeof buf, 0)) > 0)
            m_got.push_back({std::string(buf, (size_t)n), NowMs()});
        return m_got;
    }
    // The key words only: the application's own notices start with "#ZT@"
    // followed by a capital.
    std::vector<std::string> Words()
    {
        std::vector<std::string> out;
        for (const Msg& m : Poll())
            if (m.text.compare(0, 4, "#ZT@") != 0 || m.text.compare(0, 7, "#ZT@Stu") == 0)
                out.push_back(m.text);
        return out;
    }
    // Forgets what arrived so far.
    void Clear()
    {
        Poll();
        m_got.clear();
    }
    // Time the word first arrived, or -1.
    long When(const std::string& word)
    {
        for (const Msg& m : Poll())
            if (m.text == word)
                return m.ms;
        return -1;
    }

private:
    int m_fd = -1;
    bool m_bOk = false;
    std::vector<Msg> m_got;
};

// A worker whose read loop runs whatever the test hands it, so that the
// side-key process is called from the worker's own thread as a board's
// reports would.
class KeyWorker : public CZTBoardWorkBase {
public:
    KeyWorker()
    {
        m_strWorkType = "ZTBoardWorkIRQ";
        m_iDataLen = 64;
    }
    int GetDataType() override { return 10; }
    bool ParseData() override { return false; }
    void Post(std::function<void(CZTBoardWorkBase*)> fn)
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_jobs.push_back(std::move(fn));
    }
    // Time the last job ran on the worker thread, or -1.
    long LastRunMs()
    {
        std::lock_guard<std::mutex> g(m_lock);
        return m_lastRun;
    }
    ExitCode Entry() override
    {
        while (!TestDestroy()) {
            std::function<void(CZTBoardWorkBase*)> fn;
            {
                std::lock_guard<std::mutex> g(m_lock);
                if (!m_jobs.empty()) {
                    fn = std::move(m_jobs.front());
                    m_jobs.pop_front();
                }
            }
            if (!fn) {
                wxMilliSleep(2);
                continue;
            }
            fn(this);
            std::lock_guard<std::mutex> g(m_lock);
            m_lastRun = NowMs();
        }
        return 0;
    }

private:
    // The test thread queues, the worker thread takes.
    std::mutex m_lock;
    std::deque<std::function<void(CZTBoardWorkBase*)>> m_jobs;
    long m_lastRun = -1;
};

void WriteScript(const std::string& path, const std::string& marker)
{
    std::ofstream(path) << "#!/bin/sh\ntouch '" << marker << "'\n";
    chmod(path.c_str(), 0755);
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

class SidekeyAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_bInBoardFrm = false;
        ASSERT_TRUE(m_port.Ok());
        m_app.reset(new AppFixture("sidekey"));
        ASSERT_TRUE(m_app->Started());
        m_worker = new KeyWorker();
        ASSERT_TRUE(wxGetApp().StartWorker(m_worker, 12, nullptr));
    }
    void TearDown() override
    {
        m_app.reset();
        g_bInBoardFrm = false;
    }

    // Presses on the worker thread and waits until it has; returns the time.
    long Press(std::function<void(CSidekeyProcess*)> fn)
    {
        long before = m_worker->LastRunMs();
        m_worker->Post([fn](CZTBoardWorkBase* w) { fn(w->m_pSidekey); });
        EXPECT_TRUE(m_app->RunUntil([&] { return m_worker->LastRunMs() != before; }, 2000));
        return m_worker->LastRunMs();
    }
    long SoftKey(int index, int type = 1)
    {
        return Press([=](CSidekeyProcess* k) { k->OnSoftKey(index, type); });
    }
    long Word(const char* word)
    {
        return Press([=](CSidekeyProcess* k) { k->StartSoftKey(word); });
    }
    bool WaitForWord(const std::string& word, int timeoutMs = 3000)
    {
        return m_app->RunUntil([&] { return m_port.When(word) >= 0; }, timeoutMs);
    }

    SoftwarePort m_port;
    std::unique_ptr<AppFixture> m_app;
    KeyWorker* m_worker = nullptr; // frees itself when the application stops it
};

// The timer cannot fire early; this much below 500 ms absorbs the clock
// granularity between the worker's time stamp and the timer's start.
const long kTimerMinMs = 480;

TEST_F(SidekeyAppTest, SoftKeySendsItsWordWhenTheKeyTimerExpires)
{
    for (int key : {0, 14}) {
        SCOPED_TRACE(key);
        long pressed = SoftKey(key);
        m_app->RunFor(250);
        EXPECT_EQ(-1, m_port.When("anew")) << "sent before the timer expired";
        ASSERT_TRUE(WaitForWord("anew"));
        EXPECT_GE(m_port.When("anew") - pressed, kTimerMinMs);
        m_app->RunFor(600);
        EXPECT_EQ(std::vector<std::string>{"anew"}, m_port.Words());
        EXPECT_FALSE(wxGetApp().m_timerKey.IsRunning());
        m_port.Clear();
    }
}

TEST_F(SidekeyAppTest, TwoPenColourPressesWithinThePeriodSendOnlyTheDoubleWord)
{
    struct Case {
        int type;
        const char* sent;
    };
    for (const Case& c : {Case{1, "bped"}, Case{2, "#ZT@Stubped"}}) {
        SCOPED_TRACE(c.sent);
        SoftKey(5, c.type);
        m_app->RunFor(100);
        SoftKey(5, c.type);
        ASSERT_TRUE(WaitForWord(c.sent, 1000));
        m_app->RunFor(700);
        EXPECT_EQ(std::vector<std::string>{c.sent}, m_port.Words());
        m_port.Clear();
    }
}

TEST_F(SidekeyAppTest, AnotherKeyWithinThePeriodSendsThePendingOneAtOnce)
{
    SoftKey(6); // "rpen"
    m_app->RunFor(100);
    long second = SoftKey(3); // "next"
    ASSERT_TRUE(WaitForWord("rpen", 1000));
    EXPECT_LT(m_port.When("rpen") - second, 400) << "rpen waited for the timer";
    ASSERT_TRUE(WaitForWord("next"));
    EXPECT_GE(m_port.When("next") - second, kTimerMinMs);
    m_app->RunFor(600);
    EXPECT_EQ((std::vector<std::string>{"rpen", "next"}), m_port.Words());
}

TEST_F(SidekeyAppTest, FrontButtonDefaultsSendAtThePress)
{
    long first = Word("front");
    ASSERT_TRUE(WaitForWord("elfc", 1000));
    EXPECT_LT(m_port.When("elfc") - first, 400);
    m_app->RunFor(100);
    Word("front");
    ASSERT_TRUE(WaitForWord("elfd", 1000));
    m_app->RunFor(700);
    EXPECT_EQ((std::vector<std::string>{"elfc", "elfd"}), m_port.Words());
}

TEST_F(SidekeyAppTest, BackButtonDefaultRightClicksAfterThePeriod)
{
    XRecorder rec;
    ASSERT_TRUE(rec.Ok());
    m_worker->m_iScreenX = 300;
    m_worker->m_iScreenY = 200;
    long pressed = Word("back");
    ASSERT_TRUE(WaitForWord("elbc", 1000));
    auto rightPress = [](const std::vector<XRecEvent>& ev) {
        for (const XRecEvent& e : ev)
            if (e.type == 4 && e.button == 3)
                return true;
        return false;
    };
    ASSERT_TRUE(m_app->RunUntil([&] { return rightPress(rec.Buttons()); }, 3000));
    EXPECT_GE(NowMs() - pressed, kTimerMinMs);
    EXPECT_EQ(std::vector<std::string>{"elbc"}, m_port.Words());

    // While the whiteboard software's own window is in front, no click.
    g_bInBoardFrm = true;
    m_app->RunFor(100);
    rec.Clear();
    Word("back");
    m_app->RunFor(900);
    ASSERT_TRUE(rec.Settle());
    EXPECT_TRUE(rec.Buttons().empty()) << Describe(rec.Buttons());
}

TEST_F(SidekeyAppTest, BackButtonDoublePressStartsTheWhiteboardSoftware)
{
    std::string marker = m_app->Dir().Path() + "/software-ran";
    std::string launcher = m_app->Dir().Path() + "/run";
    WriteScript(launcher, marker);
    setenv("ZTBOARD_SOFTWARE_RUN", launcher.c_str(), 1);
    XRecorder rec;
    ASSERT_TRUE(rec.Ok());

    Word("back");
    m_app->RunFor(100);
    Word("back");
    ASSERT_TRUE(WaitForWord("elbd", 1000));
    EXPECT_TRUE(m_app->RunUntil([&] { return Exists(marker); }, 5000));
    m_app->RunFor(700);
    EXPECT_EQ((std::vector<std::string>{"elbc", "elbd"}), m_port.Words());
    ASSERT_TRUE(rec.Settle());
    EXPECT_TRUE(rec.Buttons().empty()) << Describe(rec.Buttons()) << "a double press does not right-click";
}

TEST_F(SidekeyAppTest, OrientAndBoardKeysStartTheirProgramsAfterThePeriod)
{
    std::string orientRan = m_app->Dir().Path() + "/orient-ran";
    WriteScript(m_app->Dir().Path() + "/Orient_Run", orientRan);
    std::string softwareRan = m_app->Dir().Path() + "/software-ran";
    std::string launcher = m_app->Dir().Path() + "/run";
    WriteScript(launcher, softwareRan);
    setenv("ZTBOARD_SOFTWARE_RUN", launcher.c_str(), 1);

    struct Case {
        int key;
        const std::string& marker;
    };
    for (const Case& c : {Case{12, orientRan}, Case{13, softwareRan}}) {
        SCOPED_TRACE(c.key);
        long pressed = SoftKey(c.key);
        m_app->RunFor(250);
        EXPECT_FALSE(Exists(c.marker)) << "started before the timer expired";
        ASSERT_TRUE(m_app->RunUntil([&] { return Exists(c.marker); }, 5000));
        EXPECT_GE(NowMs() - pressed, kTimerMinMs);
    }
    EXPECT_TRUE(m_port.Words().empty()) << "program keys send no word";
}

} // namespace
