// The five known multi-touch frames end to end: the service binary, a
// simulated frame seen through real libudev and hidapi (umockdev), a private
// X server checked through XRecord, the whiteboard software's UDP port and a
// dual-screen peer on TCP, all real.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "BoardSim.h"
#include "Pointer/Conversion.h"
#include "XRecorder.h"
#include "ZezHarness.h"
#include "ZtTestEnv.h"

using namespace zez;
using Strings = std::vector<std::string>;
using zt::sim::CBoardSim;

namespace {

// ---------------------------------------------------------------- peers

// The whiteboard software's end: bound to 127.0.0.1:10000, sends to 9999.
class SoftwarePort {
public:
    SoftwarePort()
    {
        m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a = Addr(10000);
        if (m_fd >= 0 && bind(m_fd, (sockaddr*)&a, sizeof a) != 0) {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~SoftwarePort()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool Ok() const { return m_fd >= 0; }
    void Send(const std::string& text)
    {
        sockaddr_in a = Addr(9999);
        sendto(m_fd, text.data(), text.size(), 0, (sockaddr*)&a, sizeof a);
    }
    // Every datagram that arrives within ms.
    Strings Drain(int ms)
    {
        Strings out;
        std::string d;
        while (Recv(&d, ms))
            out.push_back(d);
        return out;
    }
    // Waits for a datagram equal to text; everything before it is appended
    // to *pSkipped.
    bool WaitFor(const std::string& text, int ms, Strings* pSkipped = nullptr)
    {
        std::string d;
        while (Recv(&d, ms)) {
            if (d == text)
                return true;
            if (pSkipped)
                pSkipped->push_back(d);
        }
        return false;
    }

private:
    static sockaddr_in Addr(int port)
    {
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_port = htons((uint16_t)port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }
    bool Recv(std::string* out, int ms)
    {
        pollfd p = {m_fd, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0)
            return false;
        char buf[128];
        ssize_t n = recv(m_fd, buf, sizeof buf, 0);
        if (n < 0)
            return false;
        out->assign(buf, (size_t)n);
        return true;
    }
    int m_fd = -1;
};

// The dual-screen peer: a TCP listener on 127.0.0.1 that reads the 20-byte
// records of the connection the service opens.
class DualPeer {
public:
    DualPeer()
    {
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(m_listen, (sockaddr*)&a, sizeof a) == 0 && listen(m_listen, 2) == 0 &&
            getsockname(m_listen, (sockaddr*)&a, &len) == 0)
            m_port = ntohs(a.sin_port);
    }
    ~DualPeer()
    {
        if (m_conn >= 0)
            close(m_conn);
        close(m_listen);
    }
    int Port() const { return m_port; }
    bool Accept(int ms)
    {
        pollfd p = {m_listen, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0)
            return false;
        m_conn = accept(m_listen, nullptr, nullptr);
        return m_conn >= 0;
    }
    // The next record's five fields, or an empty list after ms or when the
    // service closed the connection (*pClosed then true).
    std::vector<int> Next(int ms, bool* pClosed = nullptr)
    {
        unsigned char rec[20];
        size_t got = 0;
        while (got < sizeof rec) {
            pollfd p = {m_conn, POLLIN, 0};
            if (poll(&p, 1, ms) <= 0)
                return {};
            ssize_t n = read(m_conn, rec + got, sizeof rec - got);
            if (n <= 0) {
                if (pClosed)
                    *pClosed = true;
                return {};
            }
            got += (size_t)n;
        }
        std::vector<int> f(5);
        for (int i = 0; i < 5; ++i)
            f[i] = (int)(rec[4 * i] | rec[4 * i + 1] << 8 | rec[4 * i + 2] << 16 | (uint32_t)rec[4 * i + 3] << 24);
        return f;
    }
    // Every record that arrives within ms of the previous one.
    std::vector<std::vector<int>> Drain(int ms)
    {
        std::vector<std::vector<int>> out;
        for (std::vector<int> f = Next(ms); !f.empty(); f = Next(ms))
            out.push_back(f);
        return out;
    }

private:
    int m_listen = -1;
    int m_conn = -1;
    int m_port = 0;
};

std::vector<int> PointerRec(int action, const ScreenPoint& s) { return {-1, -1, action, s.x, s.y}; }
std::vector<int> TouchRecord(int slot, int state, const ScreenPoint& s) { return {-1, slot, state, s.x, s.y}; }

// ---------------------------------------------------------------- fixture

struct Product {
    int pid;
    const IRQModel* model;
};
const Product kProducts[] = {
    {0x1104, &g_irqModelZEZ}, {0x1106, &g_irqModelZEZ},   {0x110A, &g_irqModelIRQH},
    {0x1116, &g_irqModelIRQ16}, {0x1136, &g_irqModelIRQT},
};

std::string Hex(int v)
{
    char b[8];
    snprintf(b, sizeof b, "%04X", v);
    return b;
}

// How test names show a product.
void PrintTo(const Product& p, std::ostream* os) { *os << "0x" << Hex(p.pid); }
std::string ProductName(const ::testing::TestParamInfo<Product>& i) { return "P" + Hex(i.param.pid); }

class ZezService : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_x.reset(new zt::Xvfb(kScreenW, kScreenH));
        ASSERT_TRUE(m_x->Ok());
        m_dir.reset(new zt::WorkDir("zez_e2e"));
        ASSERT_EQ(0, chdir(m_dir->Path().c_str()));
        m_rec.reset(new zt::XRecorder());
        ASSERT_TRUE(m_rec->Ok());
        ASSERT_TRUE(m_soft.Ok());
    }
    void TearDown() override
    {
        if (m_svc.Running())
            m_svc.Stop(SIGTERM);
    }

    // Plugs the frame, starts the service and waits until the frame got its
    // start command.
    void Start(const Product& p, const Settings& s = Settings())
    {
        m_product = p;
        m_dir->WriteConfig(ConfigText(s));
        // The whiteboard software's launcher leaves a mark.
        std::string run = m_dir->Path() + "/run-software";
        std::ofstream(run) << "#!/bin/sh\ntouch '" << m_dir->Path() << "/software-started'\n";
        chmod(run.c_str(), 0755);
        ASSERT_TRUE(m_board.Plug(0x1314, (uint16_t)p.pid, "ZEZ touch frame"));
        ASSERT_TRUE(m_svc.StartService(m_dir->Path(), {{"ZTBOARD_SOFTWARE_RUN", run}}));
        bool feature = p.model->bStartAsFeature;
        bool sent = feature ? m_board.WaitSentFeatures(1, 10000) : m_board.WaitSentReports(1, 10000);
        ASSERT_TRUE(sent) << m_svc.Output();
        // The board is announced once the companion socket exists: only then
        // do the whiteboard software's datagrams reach the service.
        ASSERT_TRUE(m_soft.WaitFor("#ZT@IsStart", 5000, &m_early)) << m_svc.Output();
        m_conv.reset(CreateConversion("ZTBoardWorkIRQ", "coordinate"));
        InitConversion(m_conv.get());
        ASSERT_EQ(kScreenW, m_conv->m_nScreenWidth);
    }

    ScreenPoint Screen(int x, int y)
    {
        BoardPoint b;
        b.x = x;
        b.y = y;
        return m_conv->Convert(&b);
    }
    int BoardXFor(int sx, int y)
    {
        int lo = 0, hi = 65535;
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            if (Screen(mid, y).x >= sx)
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }

    // Frames with a contact count carry it in every report.
    void Feed(std::vector<Contact> records, int count = -1)
    {
        if (count < 0) {
            count = 0;
            for (const Contact& c : records)
                count += c.status == 7;
        }
        int cb = m_product.model->records == IRQRecordSource::FrameCount ? m_product.model->nCountByte : -1;
        Bytes b = ReportOf(records, cb, count);
        m_board.QueueReport(zt::sim::Bytes(b.begin(), b.end()));
    }

    Strings XEvents()
    {
        Strings out;
        for (const zt::XRecEvent& e : m_rec->Events())
            out.push_back(zt::Describe(e));
        return out;
    }
    Strings XButtons()
    {
        Strings out;
        for (const zt::XRecEvent& e : m_rec->Buttons())
            out.push_back(zt::Describe(e));
        return out;
    }
    bool WaitButtons(size_t n, int ms = 5000)
    {
        return m_rec->WaitFor(
            [n](const std::vector<zt::XRecEvent>& ev) {
                size_t b = 0;
                for (const zt::XRecEvent& e : ev)
                    b += e.type != 6;
                return b >= n;
            },
            ms);
    }
    // Lets everything already sent reach the recorder.
    void Settle()
    {
        zt::SleepMs(100);
        m_rec->Settle();
    }

    std::unique_ptr<zt::Xvfb> m_x;
    std::unique_ptr<zt::WorkDir> m_dir;
    std::unique_ptr<zt::XRecorder> m_rec;
    std::unique_ptr<CConversionBase> m_conv;
    SoftwarePort m_soft;
    CBoardSim m_board;
    zt::ChildProcess m_svc;
    Product m_product = kProducts[0];
    Strings m_early; // datagrams before "#ZT@IsStart"
};

std::string Motion(const ScreenPoint& s)
{
    return "motion (" + std::to_string(s.x) + "," + std::to_string(s.y) + ")";
}
std::string Button(const char* what, int b, const ScreenPoint& s)
{
    return std::string(what) + " " + std::to_string(b) + " (" + std::to_string(s.x) + "," + std::to_string(s.y) + ")";
}

// ---------------------------------------------------------------- every frame

class EveryProduct : public ZezService, public ::testing::WithParamInterface<Product> {};

TEST_P(EveryProduct, FingerLandsDragsAndLifts)
{
    const Product p = GetParam();
    Start(p);
    // The start command of the model, a whole 64-byte report.
    zt::sim::Bytes cmd = p.model->bStartAsFeature ? m_board.SentFeatures()[0] : m_board.SentReports()[0];
    ASSERT_EQ(64u, cmd.size());
    EXPECT_TRUE(std::equal(p.model->start, p.model->start + 4, cmd.begin()));

    Feed({Touch(8000, 8000)});
    Feed({Touch(12000, 9000)});
    Feed({Touch(16000, 10000)});
    Feed({Lift(16000, 10000)});
    ASSERT_TRUE(WaitButtons(2)) << zt::Describe(m_rec->Events()) << m_svc.Output();
    Settle();
    const ScreenPoint a = Screen(8000, 8000), b = Screen(12000, 9000), c = Screen(16000, 10000);
    Strings expected = {Motion(a), Button("press", 1, a), Motion(b), Motion(c), Button("release", 1, c)};
    EXPECT_EQ(expected, XEvents());
    EXPECT_EQ(0u, zt::QueryPointer().mask & 0x100);
}

INSTANTIATE_TEST_SUITE_P(Zez, EveryProduct, ::testing::ValuesIn(kProducts), ProductName);

TEST_F(ZezService, HoldingStillPastTheLimitRightClicksOnce)
{
    Settings s;
    s.limitCount = 120;
    Start(kProducts[0], s);
    for (int i = 0; i < 150; ++i)
        Feed({Touch(16000, 16000)});
    Feed({Lift(16000, 16000)});
    ASSERT_TRUE(WaitButtons(4)) << zt::Describe(m_rec->Events());
    Settle();
    const ScreenPoint p = Screen(16000, 16000);
    Strings expected = {Button("press", 1, p), Button("release", 1, p), Button("press", 3, p),
                        Button("release", 3, p)};
    EXPECT_EQ(expected, XButtons());
    EXPECT_EQ(0u, zt::QueryPointer().mask & (0x100 | 0x400));
}

// ---------------------------------------------------------------- strokes

// With GESTURE_T on, a stroke's first two reports are held back and pressed
// on the third, and its contact size makes "pend", "moue" or "earh". The ZEZ
// frame sends the words only while the whiteboard software is on line, and
// starts it for an eraser while it is not; the others always send them.
class Strokes : public ZezService, public ::testing::WithParamInterface<Product> {};

TEST_P(Strokes, HeldBackAndClassified)
{
    // VALUE1 100, VALUE2 300: ZEZ v = 10 s, IRQT v = 8 s.
    const Product p = GetParam();
    const bool zez = p.model->bOnlineRules;
    const int pen = 5, mouse = 20, eraser = zez ? 40 : 50;
    Settings s;
    s.gesture = 1;
    s.value1 = 100;
    s.value2 = 300;
    Start(p, s);
    EXPECT_EQ(Strings{"#ZT@Connect@StyleIRQ"}, m_early);

    // Held back: nothing reaches the X server before the third report.
    Feed({Touch(8000, 8000, pen, pen)});
    Settle();
    EXPECT_EQ(Strings{}, XEvents());
    Feed({Touch(8400, 8000, pen, pen)});
    Settle();
    EXPECT_EQ(Strings{}, XEvents());
    Feed({Touch(8800, 8000, pen, pen)});
    ASSERT_TRUE(m_rec->WaitForCount(4));
    Feed({Lift(8800, 8000)});
    ASSERT_TRUE(WaitButtons(2));
    Settle();
    const ScreenPoint a = Screen(8000, 8000), b = Screen(8400, 8000), c = Screen(8800, 8000);
    Strings expected = {Motion(a), Button("press", 1, a), Motion(b), Motion(c), Button("release", 1, c)};
    EXPECT_EQ(expected, XEvents());

    auto stroke = [&](int size) {
        for (int i = 0; i < 3; ++i)
            Feed({Touch(20000, 20000, size, size)});
        Feed({Lift(20000, 20000)});
    };
    std::string marker = m_dir->Path() + "/software-started";
    if (zez) {
        // Off line: no words, and an eraser starts the whiteboard software.
        EXPECT_EQ(Strings{}, m_soft.Drain(300));
        stroke(eraser);
        for (int i = 0; i < 100 && access(marker.c_str(), F_OK) != 0; ++i)
            zt::SleepMs(50);
        EXPECT_EQ(0, access(marker.c_str(), F_OK)) << m_svc.Output();
        EXPECT_EQ(Strings{}, m_soft.Drain(300));
        m_soft.Send("#ZT@Start");
        EXPECT_TRUE(m_soft.WaitFor("#ZT@Connect@StyleIRQ", 5000));
    } else {
        EXPECT_EQ(Strings{"pend"}, m_soft.Drain(500));
    }
    stroke(pen);
    stroke(mouse);
    stroke(eraser);
    EXPECT_EQ((Strings{"pend", "moue", "earh"}), m_soft.Drain(1000));
}

INSTANTIATE_TEST_SUITE_P(Zez, Strokes, ::testing::Values(kProducts[0], kProducts[4]), ProductName);

// ---------------------------------------------------------------- dual screen

TEST_F(ZezService, DualSplitThenOnePointerAgain)
{
    Start(kProducts[0]);
    DualPeer peer;
    ASSERT_GT(peer.Port(), 0);
    m_soft.Send("#ZT@StartDualSplit@" + std::to_string(peer.Port()));
    ASSERT_TRUE(peer.Accept(5000)) << m_svc.Output();

    // Split at half the screen: the left contact is the local pointer, the
    // right one the peer's.
    const int ly = 12000, lx = BoardXFor(400, ly), rx = BoardXFor(1500, ly);
    const ScreenPoint l = Screen(lx, ly), r = Screen(rx, ly);
    for (int i = 0; i < 3; ++i)
        Feed({Touch(lx, ly), Touch(rx, ly)});
    Feed({Lift(lx, ly), Lift(rx, ly)});
    ASSERT_TRUE(WaitButtons(2));
    Settle();
    Strings expected = {Motion(l), Button("press", 1, l), Motion(l), Motion(l), Button("release", 1, l)};
    EXPECT_EQ(expected, XEvents());
    std::vector<std::vector<int>> recs = {PointerRec(1, r), PointerRec(0, r), PointerRec(1, r),
                                          PointerRec(1, r), PointerRec(2, r)};
    EXPECT_EQ(recs, peer.Drain(1000));

    // Back to one pointer: a contact on the right drives the local pointer,
    // and the peer's link is closed.
    m_soft.Send("#ZT@ShutDownDual");
    bool closed = false;
    EXPECT_TRUE(peer.Next(3000, &closed).empty());
    EXPECT_TRUE(closed);
    m_rec->Clear();
    Feed({Touch(rx, ly)});
    Feed({Lift(rx, ly)});
    ASSERT_TRUE(WaitButtons(2));
    EXPECT_EQ((Strings{Button("press", 1, r), Button("release", 1, r)}), XButtons());
}

TEST_F(ZezService, DualFullTracksEveryContact)
{
    Start(kProducts[0]);
    DualPeer peer;
    m_soft.Send("#ZT@StartDual@" + std::to_string(peer.Port()));
    ASSERT_TRUE(peer.Accept(5000)) << m_svc.Output();

    const ScreenPoint a = Screen(6000, 6000), b = Screen(20000, 20000);
    Feed({Touch(6000, 6000), Touch(20000, 20000)});
    Feed({Touch(6000, 6000), Lift(20000, 20000)});
    Feed({Lift(6000, 6000), Lift(20000, 20000)});
    ASSERT_TRUE(WaitButtons(2));
    std::vector<std::vector<int>> recs = peer.Drain(2000);
    ASSERT_EQ(2u, recs.size());
    EXPECT_EQ(TouchRecord(1, TOUCH_BEGIN, b), recs[0]);
    EXPECT_EQ(1, recs[1][1]);
    EXPECT_EQ(TOUCH_END, recs[1][2]);
    EXPECT_EQ(Button("press", 1, a), XButtons()[0]);
    EXPECT_TRUE(m_soft.WaitFor("ssup", 2000));
}

// How many contact records of a report each frame reads: four from 0x1104,
// six from 0x1106; and an IRQ16 frame of twelve contacts over three reports
// is tracked once, when its last report came.
class Contacts : public ZezService, public ::testing::WithParamInterface<Product> {};

TEST_P(Contacts, PerFrame)
{
    const Product p = GetParam();
    const int pid = p.pid;
    Start(p);
    DualPeer peer;
    m_soft.Send("#ZT@StartDual@" + std::to_string(peer.Port()));
    ASSERT_TRUE(peer.Accept(5000));

    std::vector<Contact> six, more;
    for (int k = 0; k < 6; ++k) {
        six.push_back(Touch(3000 + 4500 * k, 5000));
        more.push_back(Touch(3000 + 4500 * k, 25000));
    }
    size_t touches;
    if (pid == 0x1116) {
        Feed(six, 12);
        Feed(more, 12);
        // Nothing before the frame is complete (looked at well within the
        // frame's silence limit of half a second).
        EXPECT_TRUE(peer.Next(150).empty());
        m_rec->Settle();
        EXPECT_EQ(Strings{}, XButtons());
        Feed({}, 12);
        touches = 11;
    } else {
        Feed(six);
        touches = pid == 0x1104 ? 3 : 5;
    }
    ASSERT_TRUE(WaitButtons(1));
    // Each contact begins in a slot of its own; half a second later the
    // silent frame ends them all and releases the pointer. The quiet window
    // outlasts that half second with room for a loaded machine.
    std::vector<std::vector<int>> recs = peer.Drain(2000);
    ASSERT_EQ(2 * touches, recs.size());
    for (size_t i = 0; i < 2 * touches; ++i) {
        EXPECT_EQ((int)(i % touches) + 1, recs[i][1]) << i;
        EXPECT_EQ(i < touches ? TOUCH_BEGIN : TOUCH_END, recs[i][2]) << i;
    }
    EXPECT_EQ(2u, XButtons().size());
}

INSTANTIATE_TEST_SUITE_P(Zez, Contacts, ::testing::Values(kProducts[0], kProducts[1], kProducts[3]),
                         ProductName);

// ---------------------------------------------------------------- releasing

TEST_F(ZezService, UnplugWithFingersDownLeavesNoButtonDown)
{
    Start(kProducts[3]);
    DualPeer peer;
    m_soft.Send("#ZT@StartDualSplit@" + std::to_string(peer.Port()));
    ASSERT_TRUE(peer.Accept(5000));
    const int ly = 12000, lx = BoardXFor(400, ly), rx = BoardXFor(1500, ly);
    // A touched frame reports continuously, up to the moment it is pulled.
    std::atomic<bool> holding{true};
    std::thread hold([&] {
        while (holding) {
            Feed({Touch(lx, ly), Touch(rx, ly)});
            zt::SleepMs(10);
        }
    });
    ASSERT_TRUE(WaitButtons(1));
    EXPECT_EQ(PointerRec(1, Screen(rx, ly)), peer.Next(2000));
    EXPECT_EQ(PointerRec(0, Screen(rx, ly)), peer.Next(2000));
    EXPECT_NE(0u, zt::QueryPointer().mask & 0x100);

    ASSERT_TRUE(m_board.Unplug());
    holding = false;
    hold.join();
    ASSERT_TRUE(WaitButtons(2)) << m_svc.Output();
    EXPECT_TRUE(m_svc.WaitForLine("board read failed with a contact down: released")) << m_svc.Output();
    EXPECT_EQ(Button("release", 1, Screen(lx, ly)), XButtons().back());
    EXPECT_EQ(0u, zt::QueryPointer().mask & 0x100);
    std::vector<std::vector<int>> recs = peer.Drain(2000);
    ASSERT_FALSE(recs.empty());
    EXPECT_EQ(PointerRec(2, Screen(rx, ly)), recs.back());
}

TEST_F(ZezService, FrameFallingSilentWithAFingerDownReleasesIt)
{
    Start(kProducts[1]);
    Feed({Touch(9000, 9000)});
    ASSERT_TRUE(WaitButtons(1));
    // The frame reports continuously while touched: half a second without a
    // report means the lift was lost.
    ASSERT_TRUE(WaitButtons(2, 3000)) << m_svc.Output();
    EXPECT_TRUE(m_svc.WaitForLine("no report for 500 ms with a contact down: released"));
    EXPECT_EQ(Button("release", 1, Screen(9000, 9000)), XButtons().back());
    EXPECT_EQ(0u, zt::QueryPointer().mask & 0x100);
}

} // namespace
