// The hot-plug watcher against real libudev with simulated boards: the
// start-up enumeration, add and remove events, the known-device table, and
// the hand-over to the application (recorded here instead of starting
// workers).
#include <gtest/gtest.h>

#include <libudev.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <wx/utils.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <ostream>
#include <mutex>

#include "DeviceHid.h"
#include "DeviceTestUtil.h"
#include "ZTBoardNotifyLinux.h"

using namespace devtest;

namespace {

// What the watcher asked of the application, and the device it handed over.
// Shared between the watcher thread and the test: guarded by m_lock.
struct Host {
    struct Created {
        int code;
        std::string path;
        uint32_t product;
        bool hadHand;
    };
    struct Event {
        std::string action, devpath;
    };

    std::mutex m_lock;
    std::condition_variable m_cv;
    std::vector<Created> created;
    std::vector<std::string> destroyed;  // paths asked for
    std::vector<int> pointCounts;
    std::vector<Event> handled;          // events the monitor loop looked at
    std::unique_ptr<CDeviceBase> device;  // the "worker's" device
    bool acceptCreate = true;
    std::atomic<pid_t> tid{0};           // the watcher thread

    template <class Pred>
    bool Wait(Pred pred, int ms = 5000)
    {
        std::unique_lock<std::mutex> lk(m_lock);
        return m_cv.wait_for(lk, std::chrono::milliseconds(ms), pred);
    }
    bool WaitCreated(size_t n, int ms = 5000)
    {
        return Wait([&] { return created.size() >= n; }, ms);
    }
    // True once the monitor loop has looked at n events of this action for
    // this device.
    bool WaitHandled(const std::string& action, const std::string& devpath, size_t n = 1)
    {
        return Wait([&] {
            size_t seen = 0;
            for (const Event& e : handled)
                seen += e.action == action && e.devpath == devpath;
            return seen >= n;
        });
    }
    size_t CreatedCount()
    {
        std::lock_guard<std::mutex> lk(m_lock);
        return created.size();
    }
    ~Host()
    {
        if (device)
            device->Close();
    }
};

class RecordingNotify : public CZTBoardNotifyLinux {
public:
    explicit RecordingNotify(Host& host) : m_host(host) {}

protected:
    ExitCode Entry() override
    {
        m_host.tid = (pid_t)syscall(SYS_gettid);
        return CZTBoardNotifyLinux::Entry();
    }
    bool AppCreateWorkThread(int nBoardType, CDeviceBase* pDev) override
    {
        std::lock_guard<std::mutex> lk(m_host.m_lock);
        m_host.created.push_back(
            {nBoardType, pDev->GetPath() ? pDev->GetPath() : "", pDev->GetInfo().nProductID,
             pDev->m_bHadHand});
        if (m_host.acceptCreate)
            m_host.device.reset(pDev);
        m_host.m_cv.notify_all();
        return m_host.acceptCreate;
    }
    bool AppDestoryWorkThread(const DeviceInfo* pInfo) override
    {
        std::lock_guard<std::mutex> lk(m_host.m_lock);
        m_host.destroyed.push_back(pInfo->pDevPath ? pInfo->pDevPath : "");
        m_host.m_cv.notify_all();
        if (!m_host.device || !m_host.device->IsSameDevice(pInfo))
            return false;
        m_host.device->Close();
        m_host.device.reset();
        return true;
    }
    void AppSetPointCount(int n) override
    {
        std::lock_guard<std::mutex> lk(m_host.m_lock);
        m_host.pointCounts.push_back(n);
        m_host.m_cv.notify_all();
    }
    bool HandleDevice(struct udev_device* pDev, bool bEnum) override
    {
        bool r = CZTBoardNotifyLinux::HandleDevice(pDev, bEnum);
        if (!bEnum) {
            const char* action = udev_device_get_action(pDev);
            const char* path = udev_device_get_devpath(pDev);
            std::lock_guard<std::mutex> lk(m_host.m_lock);
            m_host.handled.push_back({action ? action : "", path ? path : ""});
            m_host.m_cv.notify_all();
        }
        return r;
    }

private:
    Host& m_host;
};

class NotifyTest : public ::testing::Test {
protected:
    // Starts the watcher as the application does and waits until it
    // listens for events.
    void Start(std::function<void(CZTBoardNotifyBase*)> extraTable = nullptr)
    {
        m_exited = std::make_shared<wxSemaphore>(0, 1);
        m_notify = new RecordingNotify(m_host);
        m_notify->SetExitSignal(m_exited);
        ASSERT_EQ(wxTHREAD_NO_ERROR, m_notify->Create());
        ASSERT_TRUE(m_notify->RegisterDevices());
        if (extraTable)
            extraTable(m_notify);
        ASSERT_EQ(wxTHREAD_NO_ERROR, m_notify->Run());
        for (int i = 0; i < 500 && !m_notify->IsMonitoring(); ++i)
            wxMilliSleep(10);
        ASSERT_TRUE(m_notify->IsMonitoring());
    }
    // Asks the watcher to end, as the application does at exit, and waits
    // until its thread is gone: the exit signal comes from the destructor,
    // and the toolkit's thread code still runs a little after it, which
    // must not meet the toolkit's clean-up at the end of the test program.
    bool Stop()
    {
        if (!m_notify)
            return true;
        m_notify->Delete();
        m_notify = nullptr;
        if (m_exited->WaitTimeout(5000) != wxSEMA_NO_ERROR)
            return false;
        std::string task = "/proc/self/task/" + std::to_string(m_host.tid.load());
        for (int i = 0; i < 200 && access(task.c_str(), F_OK) == 0; ++i)
            wxMilliSleep(5);
        return access(task.c_str(), F_OK) != 0;
    }
    void TearDown() override { EXPECT_TRUE(Stop()); }

    bool Running() { return m_notify && m_notify->m_brun; }

    Host m_host;
    RecordingNotify* m_notify = nullptr;
    std::shared_ptr<wxSemaphore> m_exited;
};

TEST_F(NotifyTest, ABoardPresentAtStartIsOpenedDuringTheUsbEnumeration)
{
    zt::sim::CBoardSim board, other;
    zt::sim::CCameraSim camera;
    ASSERT_TRUE(board.Plug(0x1314, 0x1104, "ZEZ touch frame"));
    zt::sim::SimOptions plain;
    plain.hid = false;
    ASSERT_TRUE(other.Plug(0x046D, 0xC52B, "Receiver", plain));
    ASSERT_TRUE(camera.Plug(0x0C45, 0x6366));
    Stdout out;
    Start();
    ASSERT_TRUE(m_host.WaitCreated(1));
    ASSERT_TRUE(m_host.Wait([&] { return !m_host.pointCounts.empty(); }));
    EXPECT_TRUE(Stop());
    std::string text = out.Text();

    ASSERT_EQ(1u, m_host.created.size());
    EXPECT_EQ(12, m_host.created[0].code);
    EXPECT_EQ(board.InterfaceDevPath(), m_host.created[0].path);
    EXPECT_EQ((std::vector<int>{4}), m_host.pointCounts);
    EXPECT_EQ(1, out.Count("CZTBoardNotifyLinux::processAdd------"));
    EXPECT_EQ(1, out.Count("**ZTLog**processAdd>>12"));
    // The usb enumeration stopped at the board (nothing after it was looked
    // at while the board was in use); the video enumeration looked at the
    // camera only, and returned at once because a board is in use.
    EXPECT_EQ(1, out.Count("m_brun:1 bEnum:1")) << text;
}

struct KnownBoard {
    uint16_t product;
    int code;
    int pointCount;  // 0: none set
};

void PrintTo(const KnownBoard& k, std::ostream* os)
{
    *os << "product " << std::hex << k.product << std::dec << " code " << k.code;
}

class NotifyTableTest : public NotifyTest, public ::testing::WithParamInterface<KnownBoard> {};

TEST_P(NotifyTableTest, ABoardPluggedLaterGetsTheWorkerOfItsEntry)
{
    const KnownBoard& k = GetParam();
    Start();
    zt::sim::CBoardSim board;
    ASSERT_TRUE(board.Plug(0x1314, k.product, "ZEZ touch frame"));
    ASSERT_TRUE(m_host.WaitCreated(1));
    // Point counts are set after the hand-over; wait for the handling of
    // the interface's event to finish before looking.
    ASSERT_TRUE(m_host.WaitHandled("add", board.InterfaceDevPath()));
    std::lock_guard<std::mutex> lk(m_host.m_lock);
    EXPECT_EQ(k.code, m_host.created[0].code);
    EXPECT_EQ(board.InterfaceDevPath(), m_host.created[0].path);
    EXPECT_EQ(k.product, m_host.created[0].product);
    EXPECT_FALSE(m_host.created[0].hadHand);
    if (k.pointCount)
        EXPECT_EQ((std::vector<int>{k.pointCount}), m_host.pointCounts);
    else
        EXPECT_TRUE(m_host.pointCounts.empty());
    EXPECT_TRUE(m_notify->m_brun);
}

// The simulator writes idProduct in lower case ("110a"), as the kernel does.
INSTANTIATE_TEST_SUITE_P(KnownDevices, NotifyTableTest,
                         ::testing::Values(KnownBoard{0x1104, 12, 4}, KnownBoard{0x1106, 12, 6},
                                           KnownBoard{0x110A, 14, 0}, KnownBoard{0x1116, 15, 0},
                                           KnownBoard{0x1136, 13, 0}),
                         [](const ::testing::TestParamInfo<KnownBoard>& p) {
                             char name[16];
                             snprintf(name, sizeof name, "Product%04X", p.param.product);
                             return std::string(name);
                         });

TEST_F(NotifyTest, UnknownDevicesAreIgnored)
{
    Start();
    zt::sim::CBoardSim wrongProduct, wrongVendor;
    ASSERT_TRUE(wrongProduct.Plug(0x1314, 0x1105));
    ASSERT_TRUE(wrongVendor.Plug(0x1315, 0x1104));
    ASSERT_TRUE(m_host.WaitHandled("add", wrongProduct.InterfaceDevPath()));
    ASSERT_TRUE(m_host.WaitHandled("add", wrongVendor.InterfaceDevPath()));
    EXPECT_EQ(0u, m_host.CreatedCount());
    EXPECT_FALSE(Running());
}

TEST_F(NotifyTest, UnplugEndsTheWorkerAndTheNextPlugIsPickedUpAgain)
{
    Start();
    zt::sim::CBoardSim board;
    ASSERT_TRUE(board.Plug(0x1314, 0x1106));
    ASSERT_TRUE(m_host.WaitCreated(1));
    std::string first = board.InterfaceDevPath();
    ASSERT_TRUE(board.Unplug());
    ASSERT_TRUE(m_host.Wait([&] { return !m_host.destroyed.empty(); }));
    ASSERT_TRUE(m_host.WaitHandled("remove", first));
    {
        std::lock_guard<std::mutex> lk(m_host.m_lock);
        EXPECT_EQ(first, m_host.destroyed[0]);
        EXPECT_EQ(nullptr, m_host.device);
    }
    EXPECT_FALSE(Running());

    ASSERT_TRUE(board.Plug(0x1314, 0x1106));
    ASSERT_TRUE(m_host.WaitCreated(2));
    std::lock_guard<std::mutex> lk(m_host.m_lock);
    EXPECT_EQ(board.InterfaceDevPath(), m_host.created[1].path);
    EXPECT_NE(first, m_host.created[1].path);
}

TEST_F(NotifyTest, ASecondBoardWaitsForItsNextAddEvent)
{
    Start();
    zt::sim::CBoardSim a, b;
    ASSERT_TRUE(a.Plug(0x1314, 0x1104));
    ASSERT_TRUE(m_host.WaitCreated(1));
    ASSERT_TRUE(b.Plug(0x1314, 0x1106));
    ASSERT_TRUE(m_host.WaitHandled("add", b.InterfaceDevPath()));
    EXPECT_EQ(1u, m_host.CreatedCount());

    // Unplugging the board in use frees the watcher, but the second board
    // has announced itself already.
    ASSERT_TRUE(a.Unplug());
    ASSERT_TRUE(m_host.WaitHandled("remove", a.InterfaceDevPath()));
    EXPECT_FALSE(Running());
    EXPECT_EQ(1u, m_host.CreatedCount());

    ASSERT_TRUE(b.Announce("add"));
    ASSERT_TRUE(m_host.WaitCreated(2));
    ASSERT_TRUE(m_host.Wait([&] { return m_host.pointCounts.size() >= 2; }));
    std::lock_guard<std::mutex> lk(m_host.m_lock);
    EXPECT_EQ(b.InterfaceDevPath(), m_host.created[1].path);
    EXPECT_EQ((std::vector<int>{4, 6}), m_host.pointCounts);
}

TEST_F(NotifyTest, RemovingAnUnrelatedDeviceStopsNothing)
{
    Start();
    zt::sim::CBoardSim board, mouse;
    ASSERT_TRUE(board.Plug(0x1314, 0x1104));
    ASSERT_TRUE(m_host.WaitCreated(1));
    zt::sim::SimOptions plain;
    plain.hid = false;
    ASSERT_TRUE(mouse.Plug(0x046D, 0xC077, "Mouse", plain));
    ASSERT_TRUE(m_host.WaitHandled("add", mouse.InterfaceDevPath()));
    ASSERT_TRUE(mouse.Unplug());
    ASSERT_TRUE(m_host.WaitHandled("remove", mouse.InterfaceDevPath()));
    std::lock_guard<std::mutex> lk(m_host.m_lock);
    ASSERT_EQ(1u, m_host.destroyed.size());
    EXPECT_EQ(mouse.InterfaceDevPath(), m_host.destroyed[0]);
    EXPECT_NE(nullptr, m_host.device);
    EXPECT_TRUE(m_notify->m_brun);
}

TEST_F(NotifyTest, ABoardThatCannotBeIdentifiedIsReleasedAndTriedAgain)
{
    // A board of a provisional code: identified by its reply to the type
    // query, which fails the first time.
    Start([](CZTBoardNotifyBase* n) { n->AddKnownDevice(0x1314, 0x2001, DEVTYPE_HID, 31, 0); });
    zt::sim::CBoardSim board;
    board.SetResponder([](const Bytes& sent) -> std::vector<Bytes> {
        if (sent.size() >= 3 && sent[2] == 0xCE)
            return {{0x00, 0x00, 0xC8, 0xCA, 0, 0, 0, 0, 0, 0}};
        return {};
    });
    Stdout out;
    ASSERT_TRUE(board.Plug(0x1314, 0x2001));
    board.SetReadError(true);
    ASSERT_TRUE(m_host.WaitHandled("add", board.InterfaceDevPath()));
    EXPECT_EQ(0u, m_host.CreatedCount());
    EXPECT_FALSE(Running());

    board.SetReadError(false);
    ASSERT_TRUE(board.Announce("add"));
    ASSERT_TRUE(m_host.WaitCreated(1));
    EXPECT_TRUE(Stop());
    EXPECT_EQ(1, out.Count("quit"));
    EXPECT_EQ(4, m_host.created[0].code);  // refined before the hand-over
    EXPECT_TRUE(m_host.created[0].hadHand);
}

TEST_F(NotifyTest, ABoardNoWorkerTakesIsReleasedAndTriedAgain)
{
    m_host.acceptCreate = false;
    Start();
    zt::sim::CBoardSim board;
    ASSERT_TRUE(board.Plug(0x1314, 0x1116));
    ASSERT_TRUE(m_host.WaitCreated(1));
    ASSERT_TRUE(m_host.WaitHandled("add", board.InterfaceDevPath()));
    EXPECT_FALSE(Running());
    {
        std::lock_guard<std::mutex> lk(m_host.m_lock);
        m_host.acceptCreate = true;
    }
    ASSERT_TRUE(board.Announce("add"));
    ASSERT_TRUE(m_host.WaitCreated(2));
    ASSERT_TRUE(m_host.WaitHandled("add", board.InterfaceDevPath(), 2));
    EXPECT_TRUE(Running());
}

TEST_F(NotifyTest, TheApplicationCanCloseTheCurrentDevice)
{
    Start();
    zt::sim::CBoardSim board;
    ASSERT_TRUE(board.Plug(0x1314, 0x1104));
    ASSERT_TRUE(m_host.WaitCreated(1));
    Info other(0, 0, 0, 0, "/devices/elsewhere");
    EXPECT_FALSE(m_notify->CloseDevice(&other.info));
    EXPECT_TRUE(Running());
    Info same(0, 0, 0, 0, board.InterfaceDevPath());
    EXPECT_TRUE(m_notify->CloseDevice(&same.info));
    EXPECT_FALSE(Running());
    // No camera entry in the table: a rescan finds nothing to open.
    zt::sim::CCameraSim camera;
    ASSERT_TRUE(camera.Plug(0x0C45, 0x6366));
    EXPECT_FALSE(m_notify->Enumerate("video4linux"));
    EXPECT_EQ(1u, m_host.CreatedCount());
}

TEST_F(NotifyTest, ABoardThatNeverAnswersDoesNotHoldTheWatcherAtExit)
{
    Start([](CZTBoardNotifyBase* n) { n->AddKnownDevice(0x1314, 0x2002, DEVTYPE_HID, 30, 0); });
    zt::sim::CBoardSim board;
    ASSERT_TRUE(board.Plug(0x1314, 0x2002));
    // The watcher asks for the board type every 500 ms and gets no answer.
    ASSERT_TRUE(board.WaitSentReports(2, 5000));
    EXPECT_TRUE(Stop());
    EXPECT_EQ(0u, m_host.CreatedCount());
}

TEST_F(NotifyTest, OnlyOneBoardIsOpenedWhenTwoThreadsFindOne)
{
    Start();
    zt::sim::CBoardSim a, b;
    ASSERT_TRUE(a.Plug(0x1314, 0x1104));
    ASSERT_TRUE(m_host.WaitCreated(1));
    ASSERT_TRUE(b.Plug(0x1314, 0x1106));
    // As a companion's rescan on the main thread would, beside the watcher.
    Info info(0x1314, 0x1106, DEVTYPE_HID, 12, b.InterfaceDevPath());
    EXPECT_TRUE(m_notify->OpenDevice(&info.info));
    EXPECT_EQ(1u, m_host.CreatedCount());
}

} // namespace
