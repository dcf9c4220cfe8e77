// The HID device on a simulated board through real hidapi and libudev:
// report framing, the header by board code, raw and feature reports, the
// board type query, and what happens after Close and after an unplug.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "DeviceCom.h"
#include "DeviceHid.h"
#include "DeviceTestUtil.h"

using namespace devtest;

namespace {

class HidDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_board.Plug(0x1314, 0x1104, "ZEZ touch frame")); }

    // An opened and initialised device for a board of this type code.
    std::unique_ptr<CDeviceBase> OpenDevice(int nBoardType)
    {
        Info info(0x1314, 0x1104, DEVTYPE_HID, (uint32_t)nBoardType, m_board.InterfaceDevPath());
        std::unique_ptr<CDeviceBase> dev(CreateDevice(info.info));
        EXPECT_TRUE(dev && dev->Open());
        EXPECT_TRUE(dev && dev->Init());
        return dev;
    }

    zt::sim::CBoardSim m_board;
};

TEST_F(HidDeviceTest, CreateDeviceGivesTheClassOfTheDeviceType)
{
    struct Case {
        uint32_t devType;
        bool hid, com;
    } cases[] = {{DEVTYPE_HID, true, false}, {DEVTYPE_COM, false, true}, {0, false, false},
                 {4, false, false}, {99, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.devType);
        Info info(0x1314, 0x1104, c.devType);
        std::unique_ptr<CDeviceBase> dev(CreateDevice(info.info));
        EXPECT_EQ(c.hid, dynamic_cast<CDeviceHid*>(dev.get()) != nullptr);
        EXPECT_EQ(c.com, dynamic_cast<CDeviceCom*>(dev.get()) != nullptr);
        if (dev) {
            // The object has its own copy of the path, and starts closed.
            EXPECT_NE(info.info.pDevPath, dev->GetPath());
            EXPECT_STREQ(info.info.pDevPath, dev->GetPath());
            EXPECT_FALSE(dev->m_bInit);
            EXPECT_FALSE(dev->m_bHadHand);
            EXPECT_EQ(500, dev->GetTimeout());
        }
    }
}

TEST_F(HidDeviceTest, OpenReportsItsResult)
{
    {
        Stdout out;
        auto dev = OpenDevice(12);
        EXPECT_EQ(1, out.Count("**Quenlo**Open CDeviceHid>>1"));
        dev->Close();
    }
    // A product that is not plugged cannot be opened.
    Info other(0x1314, 0x1116);
    std::unique_ptr<CDeviceBase> dev(CreateDevice(other.info));
    Stdout out;
    EXPECT_FALSE(dev->Open());
    EXPECT_EQ(1, out.Count("open hid N successfully!"));
    EXPECT_EQ(1, out.Count("**Quenlo**Open CDeviceHid>>0"));
}

TEST_F(HidDeviceTest, ReadDropsTheTwoLeadingBytesOfAReport)
{
    struct Case {
        size_t delivered;  // bytes of the report the board sends
        int nLen;          // payload asked for
        int result;
        bool copied;
    } cases[] = {
        {18, 16, 16, true},   // exactly payload + 2
        {17, 16, 17, false},  // one byte short: returned, nothing copied
        {10, 8, 8, true},
        {5, 8, 5, false},
        {50, 48, 48, true},   // the largest payload that fits the buffer
        {64, 16, 16, true},   // a longer report is cut to what was asked
    };
    auto dev = OpenDevice(12);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.delivered);
        Bytes report(c.delivered);
        for (size_t i = 0; i < report.size(); ++i)
            report[i] = (uint8_t)(0x40 + i);
        m_board.QueueReport(report);
        unsigned char buf[64];
        memset(buf, 0xEE, sizeof buf);
        EXPECT_EQ(c.result, dev->Read(buf, c.nLen));
        if (c.copied) {
            EXPECT_EQ(0, memcmp(buf, report.data() + 2, (size_t)c.nLen));
            EXPECT_EQ(0xEE, buf[c.nLen]);
        } else {
            EXPECT_EQ(0xEE, buf[0]);
        }
    }
    dev->Close();
}

TEST_F(HidDeviceTest, ReadTimesOutWithZeroAndLeavesTheBufferAlone)
{
    auto dev = OpenDevice(12);
    unsigned char buf[16];
    memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(0, dev->Read(buf, 8));
    EXPECT_EQ(0xEE, buf[0]);
    EXPECT_EQ(0xEE, buf[7]);
    dev->Close();
}

TEST_F(HidDeviceTest, LengthsThatDoNotFitTheReportBufferAreRefused)
{
    auto dev = OpenDevice(30);
    unsigned char buf[128];
    memset(buf, 0x11, sizeof buf);
    // Queued, but must not be read: a refused read leaves the report.
    m_board.QueueReport(Bytes(64, 0x22));
    EXPECT_EQ(-1, dev->Read(buf, 49));
    EXPECT_EQ(-1, dev->Read(buf, 100));
    EXPECT_EQ(-1, dev->Read(buf, -1));
    EXPECT_EQ(-1, dev->Write(buf, 49));
    EXPECT_EQ(-1, dev->Write(buf, -5));
    EXPECT_EQ(1u, m_board.PendingReports());
    EXPECT_TRUE(m_board.SentReports().empty());
    // The largest payload still goes out whole.
    EXPECT_EQ(48, dev->Write(buf, 48));
    ASSERT_EQ(1u, m_board.SentReports().size());
    EXPECT_EQ(50u, m_board.SentReports()[0].size());
    dev->Close();
}

TEST_F(HidDeviceTest, WritePutsTheHeaderOfTheBoardCodeFirst)
{
    struct Case {
        int code;
        uint8_t h0, h1;
    } cases[] = {{0, 0x02, 0x08},  {1, 0x02, 0x08},  {30, 0x02, 0x08}, {31, 0x02, 0x08},
                 {32, 0x02, 0x08}, {6, 0x02, 0x10},  {7, 0x02, 0x10},  {12, 0x00, 0x00},
                 {2, 0x00, 0x00},  {27, 0x00, 0x00}};
    const Bytes payload = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        m_board.ClearSent();
        auto dev = OpenDevice(c.code);
        EXPECT_EQ(8, dev->Write(payload.data(), (int)payload.size()));
        ASSERT_EQ(1u, m_board.SentReports().size());
        EXPECT_EQ(Concat({c.h0, c.h1}, payload), m_board.SentReports()[0]);
        dev->Close();
    }
}

TEST_F(HidDeviceTest, RawAndFeatureReportsPassUnchanged)
{
    auto dev = OpenDevice(12);
    Bytes report = {0x03, 0x07, 0x01, 0x02, 0x03};
    m_board.QueueReport(report);
    unsigned char buf[64] = {0};
    EXPECT_EQ(5, dev->ReadRaw(buf, 64));
    EXPECT_EQ(0, memcmp(buf, report.data(), report.size()));

    Bytes setup = {0x05, 0x02, 0x00, 0x00};
    Bytes feature = {0x02, 0x02, 0x00};
    {
        Stdout out;
        EXPECT_EQ(4, dev->WriteRaw(setup.data(), (int)setup.size()));
        EXPECT_EQ(3, dev->SendFeature(feature.data(), (int)feature.size()));
        EXPECT_EQ(1, out.Count("write ret=4"));
        EXPECT_EQ(1, out.Count("sendfeature ret=3"));
    }
    ASSERT_EQ(1u, m_board.SentReports().size());
    EXPECT_EQ(setup, m_board.SentReports()[0]);
    ASSERT_EQ(1u, m_board.SentFeatures().size());
    EXPECT_EQ(feature, m_board.SentFeatures()[0]);
    dev->Close();
}

TEST_F(HidDeviceTest, NothingIsTransferredBeforeInitOrAfterClose)
{
    Info info(0x1314, 0x1104, DEVTYPE_HID, 30, m_board.InterfaceDevPath());
    std::unique_ptr<CDeviceBase> dev(CreateDevice(info.info));
    unsigned char buf[16] = {1, 2, 3};
    auto expectRefused = [&] {
        EXPECT_EQ(-1, dev->Read(buf, 8));
        EXPECT_EQ(-1, dev->Write(buf, 8));
        EXPECT_EQ(-1, dev->ReadRaw(buf, 8));
        EXPECT_EQ(-1, dev->WriteRaw(buf, 8));
        EXPECT_EQ(-1, dev->SendFeature(buf, 3));
        EXPECT_EQ(-1, dev->QueryBoardType());
    };
    {
        SCOPED_TRACE("never opened");
        Stdout out;
        expectRefused();
        EXPECT_EQ("", out.Text());  // refused without a message
    }
    ASSERT_TRUE(dev->Open());
    {
        SCOPED_TRACE("opened, not initialised");
        expectRefused();
    }
    ASSERT_TRUE(dev->Init());
    {
        Stdout out;
        dev->Close();
        dev->Close();  // the second Close is silent
        EXPECT_EQ(1, out.Count("[Server]close hid successfully!"));
    }
    {
        SCOPED_TRACE("closed");
        expectRefused();
    }
    EXPECT_TRUE(m_board.SentReports().empty());
    EXPECT_TRUE(m_board.SentFeatures().empty());
}

TEST_F(HidDeviceTest, AnUnpluggedBoardFailsAtOnce)
{
    auto dev = OpenDevice(30);
    m_board.Unplug();
    unsigned char buf[16] = {0};
    EXPECT_EQ(-1, dev->Read(buf, 8));
    EXPECT_EQ(-1, dev->ReadRaw(buf, 8));
    // hid_write's -1, less the two header bytes.
    EXPECT_EQ(-3, dev->Write(buf, 8));
    EXPECT_EQ(-1, dev->WriteRaw(buf, 8));
    dev->Close();
}

TEST_F(HidDeviceTest, IsSameDeviceComparesThePath)
{
    auto dev = OpenDevice(12);
    Info same(0, 0, 0, 0, m_board.InterfaceDevPath());
    Info other(0, 0, 0, 0, m_board.InterfaceDevPath() + "x");
    Stdout out;
    EXPECT_TRUE(dev->IsSameDevice(&same.info));
    EXPECT_FALSE(dev->IsSameDevice(&other.info));
    EXPECT_EQ(2, out.Count("devInfo.pDevPath:" + m_board.InterfaceDevPath()));
    dev->Close();
}

// The board answers each type query with the replies of a script, one per
// query (an empty reply: no answer, the query times out).
class QueryScript {
public:
    explicit QueryScript(std::vector<Bytes> replies) : m_replies(std::move(replies)) {}
    zt::sim::Responder Responder()
    {
        return [this](const Bytes& sent) -> std::vector<Bytes> {
            if (sent.size() < 3 || sent[2] != 0xCE)
                return {};
            size_t i = m_count++;
            if (i >= m_replies.size() || m_replies[i].empty())
                return {};
            return {Concat({0x00, 0x00}, m_replies[i])};
        };
    }
    size_t Queries() const { return m_count; }

private:
    std::vector<Bytes> m_replies;
    std::atomic<size_t> m_count{0};
};

TEST_F(HidDeviceTest, DetectBoardTypeRefinesProvisionalCodes)
{
    struct Case {
        int code;
        uint8_t family, hand;
        int expectCode;
        bool expectHand;
    } cases[] = {
        {31, 0xC8, 0xCA, 4, true},   {30, 0xE9, 0xDD, 0, false}, {30, 0xC8, 0xEF, 2, false},
        {31, 0xEC, 0xED, 1, true},   {32, 0xE5, 0x55, 25, true}, {32, 0xE6, 0x5F, 25, false},
        {32, 0xE5, 0xAF, 26, false}, {32, 0xEA, 0xA5, 26, true}, {32, 0xE5, 0xCE, 32, true},
        {32, 0xC8, 0x55, 25, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " " << std::hex << (int)c.family << " "
                                        << (int)c.hand);
        m_board.ClearSent();
        QueryScript script({{c.family, c.hand, 0, 0, 0, 0, 0, 0}});
        m_board.SetResponder(script.Responder());
        auto dev = OpenDevice(c.code);
        EXPECT_TRUE(dev->DetectBoardType());
        EXPECT_EQ(c.expectCode, dev->GetBoardType());
        EXPECT_EQ(c.expectHand, dev->m_bHadHand);
        ASSERT_EQ(1u, m_board.SentReports().size());
        EXPECT_EQ((Bytes{0x02, 0x08, 0xCE, 0, 0, 0, 0, 0, 0, 0}), m_board.SentReports()[0]);
        dev->Close();
        m_board.SetResponder(nullptr);
    }
}

TEST_F(HidDeviceTest, DetectBoardTypeAsksNothingOfOtherBoards)
{
    for (int code : {12, 13, 0, 7, 27}) {
        SCOPED_TRACE(code);
        auto dev = OpenDevice(code);
        dev->m_bHadHand = true;
        EXPECT_TRUE(dev->DetectBoardType());
        EXPECT_EQ(code, dev->GetBoardType());
        EXPECT_FALSE(dev->m_bHadHand);
        dev->Close();
    }
    EXPECT_TRUE(m_board.SentReports().empty());
}

TEST_F(HidDeviceTest, DetectBoardTypeAsksAgainUntilTheReplyIsKnown)
{
    // No answer (time-out), a family outside the table, a known family with
    // an unknown hand byte (which already turns 30 into 0), then a reply of
    // the other family: the code changed on the way stays changed.
    QueryScript script({{}, {0x00, 0x55, 0, 0, 0, 0, 0, 0}, {0xE5, 0x00, 0, 0, 0, 0, 0, 0},
                        {0xC8, 0xED, 0, 0, 0, 0, 0, 0}});
    m_board.SetResponder(script.Responder());
    auto dev = OpenDevice(30);
    EXPECT_TRUE(dev->DetectBoardType());
    EXPECT_EQ(4u, script.Queries());
    EXPECT_EQ(0, dev->GetBoardType());
    EXPECT_TRUE(dev->m_bHadHand);
    dev->Close();
}

TEST_F(HidDeviceTest, AReadErrorDuringTheQueryEndsIt)
{
    auto dev = OpenDevice(31);
    m_board.SetReadError(true);
    Stdout out;
    EXPECT_FALSE(dev->DetectBoardType());
    EXPECT_EQ(1, out.Count("quit"));
    EXPECT_EQ(31, dev->GetBoardType());
    dev->Close();
}

TEST(DeviceBaseTest, ResolveBoardTypeTables)
{
    // Every family byte and every hand byte of the tables, on code 30.
    struct Case {
        uint8_t family;
        int code;
    } families[] = {{0xE5, 0}, {0xE6, 0}, {0xE8, 0}, {0xE9, 0}, {0xEA, 0},
                    {0xEC, 0}, {0xC8, 2}, {0xE7, -1}, {0x00, -1}, {0xCE, -1}};
    for (const Case& f : families) {
        SCOPED_TRACE((int)f.family);
        int code = 30;
        bool hand = false;
        EXPECT_EQ(f.code >= 0, ZTResolveBoardType(30, f.family, 0xEF, &code, &hand));
        if (f.code >= 0) {
            EXPECT_EQ(f.code, code);
        }
    }
    struct Hand {
        uint8_t b;
        int value;
    } hands[] = {{0xEF, 0}, {0xED, 1}, {0xCE, 1}, {0xDD, 0}, {0xCC, 1}, {0xCA, 1},
                 {0xDA, 0}, {0x5F, 0}, {0x55, 1}, {0xAF, 0}, {0xA5, 1}, {0x00, -1}, {0xEE, -1}};
    for (const Hand& h : hands) {
        SCOPED_TRACE((int)h.b);
        int code = 31;
        bool hand = h.value == 0;
        EXPECT_EQ(h.value >= 0, ZTResolveBoardType(31, 0xE5, h.b, &code, &hand));
        EXPECT_EQ(1, code);
        if (h.value >= 0) {
            EXPECT_EQ(h.value == 1, hand);
        }
    }
}

} // namespace
