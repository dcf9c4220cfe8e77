// The serial bridge device on a simulated CP210x bridge whose tty is a
// pseudo-terminal: the bridge is found through libudev by its USB ids, the
// line settings reach the terminal, and packets pass both ways unchanged.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "Cp210x.h"
#include "DeviceCom.h"
#include "DeviceTestUtil.h"

using namespace devtest;

namespace {

const uint16_t kBridgeVendor = 0x10C4;
const uint16_t kBridgeProduct = 0xEA60;

class ComDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        zt::sim::SimOptions opt;
        opt.hid = false;
        opt.tty = "ttyUSB" + std::to_string(++s_tty);
        ASSERT_TRUE(m_bridge.Plug(kBridgeVendor, kBridgeProduct, "CP2102 USB to UART", opt));
        ASSERT_GE(m_bridge.SerialFd(), 0);
    }

    std::unique_ptr<CDeviceBase> MakeDevice(uint32_t baud = 115200)
    {
        Info info(kBridgeVendor, kBridgeProduct, DEVTYPE_COM, 7, m_bridge.InterfaceDevPath(), baud);
        return std::unique_ptr<CDeviceBase>(CreateDevice(info.info));
    }

    // The line settings as the terminal holds them.
    tcflag_t LineFlags()
    {
        struct termios tio;
        EXPECT_EQ(0, tcgetattr(m_bridge.SerialFd(), &tio));
        return tio.c_cflag;
    }

    // Bytes the service wrote, as the board receives them.
    Bytes BoardReceives(size_t n)
    {
        Bytes got;
        while (got.size() < n) {
            struct pollfd p = {m_bridge.SerialFd(), POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0)
                break;
            unsigned char buf[64];
            ssize_t r = read(m_bridge.SerialFd(), buf, sizeof buf);
            if (r <= 0)
                break;
            got.insert(got.end(), buf, buf + r);
        }
        return got;
    }

    void BoardSends(const Bytes& b)
    {
        ASSERT_EQ((ssize_t)b.size(), write(m_bridge.SerialFd(), b.data(), b.size()));
    }

    static int s_tty;
    zt::sim::CBoardSim m_bridge;
};

int ComDeviceTest::s_tty = 0;

TEST(ComLineFlags, ParityStopBitsAndFlowControlOffSpeedAndHangUpKept)
{
    struct Case {
        unsigned in, out;
    } cases[] = {
        {B9600 | CS8 | CREAD | PARENB | HUPCL | CLOCAL | CRTSCTS, B9600 | HUPCL | CS8 | CREAD | CLOCAL},
        {B115200 | CS7 | CSTOPB | PARENB | PARODD, B115200 | CS8 | CREAD | CLOCAL},
        {B38400 | CS5, B38400 | CS8 | CREAD | CLOCAL},
        {0, CS8 | CREAD | CLOCAL},
        {0xFFFFFFFFu, 0x7FFFF40Fu | 0x8B0u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(c.out, CDeviceCom::LineFlags(c.in));
    }
}

TEST_F(ComDeviceTest, InitPutsTheLineSettingsOnTheTerminal)
{
    // What the bridge reports before Init: flow control, two stop bits,
    // modem lines honoured, another speed.
    struct termios tio;
    ASSERT_EQ(0, tcgetattr(m_bridge.SerialFd(), &tio));
    tio.c_cflag = B9600 | CS8 | CREAD | HUPCL | CSTOPB | CRTSCTS;
    ASSERT_EQ(0, tcsetattr(m_bridge.SerialFd(), TCSANOW, &tio));

    auto dev = MakeDevice(57600);
    ASSERT_TRUE(dev->Open());
    ASSERT_TRUE(dev->Init());
    tcflag_t f = LineFlags();
    EXPECT_EQ((tcflag_t)CS8, f & CSIZE);
    EXPECT_TRUE(f & CREAD);
    EXPECT_TRUE(f & CLOCAL);
    EXPECT_TRUE(f & HUPCL);
    EXPECT_FALSE(f & CSTOPB);
    EXPECT_FALSE(f & PARENB);
    EXPECT_FALSE(f & CRTSCTS);
    ASSERT_EQ(0, tcgetattr(m_bridge.SerialFd(), &tio));
    EXPECT_EQ((speed_t)B57600, cfgetospeed(&tio));
    dev->Close();
}

TEST_F(ComDeviceTest, PacketsPassBothWaysUnchanged)
{
    auto dev = MakeDevice();
    ASSERT_TRUE(dev->Open());
    ASSERT_TRUE(dev->Init());

    Bytes packet = {0xEE, 0x01, 0x10, 0x27, 0x20, 0x4E, 0x00, 0x83};
    BoardSends(packet);
    unsigned char buf[16] = {0};
    EXPECT_EQ(8, dev->Read(buf, 8));
    EXPECT_EQ(packet, Bytes(buf, buf + 8));

    // A packet that arrives in two pieces within the read's wait is read
    // whole.
    std::thread board([&] {
        BoardSends({0xAA, 0x02, 0x03});
        usleep(60 * 1000);
        BoardSends({0x04, 0x05, 0x06, 0x07, 0x08});
    });
    EXPECT_EQ(8, dev->Read(buf, 8));
    board.join();
    EXPECT_EQ((Bytes{0xAA, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}), Bytes(buf, buf + 8));

    Bytes command = {0xCE, 0x00, 0x01, 0x02, 0x03};
    EXPECT_EQ(5, dev->Write(command.data(), (int)command.size()));
    EXPECT_EQ(command, BoardReceives(5));
    dev->Close();
}

TEST_F(ComDeviceTest, ASilentLineReadsNothing)
{
    auto dev = MakeDevice();
    ASSERT_TRUE(dev->Open());
    ASSERT_TRUE(dev->Init());
    unsigned char buf[8];
    memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(0, dev->Read(buf, 8));
    // Part of a packet, then silence: the count tells the caller it is not
    // a whole packet.
    BoardSends({0x01, 0x02, 0x03});
    EXPECT_EQ(3, dev->Read(buf, 8));
    dev->Close();
}

TEST_F(ComDeviceTest, TransfersBeforeInitAndAfterCloseSayWhichDirectionFailed)
{
    auto dev = MakeDevice();
    unsigned char buf[8] = {0};
    {
        Stdout out;
        EXPECT_EQ(-2, dev->Read(buf, 8));
        EXPECT_EQ(-1, dev->Write(buf, 8));
        EXPECT_EQ(1, out.Count("[Server]can not read:com not open or init"));
        EXPECT_EQ(1, out.Count("[Server]can not write:com not open or init"));
    }
    ASSERT_TRUE(dev->Open());
    ASSERT_TRUE(dev->Init());
    {
        Stdout out;
        dev->Close();
        dev->Close();
        EXPECT_EQ(1, out.Count("[Server].........com closed!"));
    }
    Stdout out;
    EXPECT_EQ(-2, dev->Read(buf, 8));
    EXPECT_EQ(-1, dev->Write(buf, 8));
    EXPECT_EQ(1, out.Count("[Server]can not read:com not open or init"));
    EXPECT_EQ(1, out.Count("[Server]can not write:com not open or init"));
}

TEST_F(ComDeviceTest, TheBaseKeepsRawAndFeatureReports)
{
    auto dev = MakeDevice();
    ASSERT_TRUE(dev->Open());
    ASSERT_TRUE(dev->Init());
    unsigned char buf[8] = {0};
    Stdout out;
    EXPECT_EQ(-1, dev->ReadRaw(buf, 8));
    EXPECT_EQ(-1, dev->WriteRaw(buf, 8));
    EXPECT_EQ(-1, dev->SendFeature(buf, 8));
    EXPECT_EQ(1, out.Count("base........."));
    EXPECT_TRUE(dev->DetectBoardType());  // code 7 is never queried
    dev->Close();
}

TEST_F(ComDeviceTest, OpenFailsWithoutTheBridge)
{
    Info info(kBridgeVendor, 0xEA61, DEVTYPE_COM, 7, "/devices/none", 115200);
    std::unique_ptr<CDeviceBase> dev(CreateDevice(info.info));
    Stdout out;
    EXPECT_FALSE(dev->Open());
    EXPECT_EQ("", out.Text());
    EXPECT_EQ(nullptr, cp210x_open(0x1314, 0x1104, 0));  // not a serial bridge
}

TEST_F(ComDeviceTest, AnUnpluggedBridgeFailsReads)
{
    auto dev = MakeDevice();
    ASSERT_TRUE(dev->Open());
    ASSERT_TRUE(dev->Init());
    m_bridge.Unplug();
    unsigned char buf[8];
    EXPECT_EQ(-1, dev->Read(buf, 8));
    dev->Close();
}

} // namespace
