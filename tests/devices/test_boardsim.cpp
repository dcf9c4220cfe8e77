// The board simulator itself: captures in the recorder's text format, and a
// capture played to a real hidapi reader with its timing.
#include <gtest/gtest.h>

#include <hidapi/hidapi.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "DeviceTestUtil.h"
#include "ZtTestEnv.h"

using namespace devtest;
using zt::sim::HidRecording;

namespace {

const char kCapture[] =
    "# ZEZ frame, one finger\n"
    "D: 0\n"
    "R: 6 06 00 ff 09 01 c0\n"
    "N: ZEZ touch frame\n"
    "P: usb-0000:00:14.0-1/input0\n"
    "I: 3 1314 1106\n"
    "D: 0\n"
    "E: 000000.000000 4 01 07 10 00\n"
    "E: 000000.080000 4 01 07 12 00\n"
    "E: 000000.16 3 01 00 12\r\n"
    "D: 1\n"
    "E: 000000.200000 2 02 02\n";

TEST(BoardSimRecording, ParsesTheRecorderFormat)
{
    HidRecording rec;
    std::string err;
    ASSERT_TRUE(zt::sim::ParseHidRecording(kCapture, &rec, &err)) << err;
    EXPECT_EQ("ZEZ touch frame", rec.name);
    EXPECT_EQ(3u, rec.bus);
    EXPECT_EQ(0x1314u, rec.vendor);
    EXPECT_EQ(0x1106u, rec.product);
    EXPECT_EQ((Bytes{0x06, 0x00, 0xFF, 0x09, 0x01, 0xC0}), rec.descriptor);
    // Only the first device of the capture.
    ASSERT_EQ(3u, rec.events.size());
    EXPECT_EQ(0u, rec.events[0].usec);
    EXPECT_EQ(80000u, rec.events[1].usec);
    EXPECT_EQ(160000u, rec.events[2].usec);
    EXPECT_EQ((Bytes{0x01, 0x07, 0x12, 0x00}), rec.events[1].data);
    EXPECT_EQ((Bytes{0x01, 0x00, 0x12}), rec.events[2].data);
}

TEST(BoardSimRecording, RefusesBrokenLinesWithTheirNumber)
{
    struct Case {
        const char* text;
        const char* where;
    } cases[] = {
        {"E: 0.000000 4 01 02 03\n", "line 1"},        // fewer bytes than said
        {"E: 0.000000 2 01 02 03\n", "line 1"},        // more bytes than said
        {"N: x\nE: 0.000000 1 1ff\n", "line 2"},       // not a byte
        {"E: 12 1 01\n", "line 1"},                    // no microseconds
        {"E: 1.2345678 1 01\n", "line 1"},             // too many digits
        {"R: 3 01 02\n", "line 1"},
        {"I: 3 1314\n", "line 1"},
        {"# ok\nX: what\n", "line 2"},
        {"garbage\n", "line 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        HidRecording rec;
        std::string err;
        EXPECT_FALSE(zt::sim::ParseHidRecording(c.text, &rec, &err));
        EXPECT_EQ(0u, err.find(c.where)) << err;
    }
    HidRecording rec;
    std::string err;
    EXPECT_FALSE(zt::sim::LoadHidRecording("/nonexistent/capture.hidrec", &rec, &err));
}

TEST(BoardSim, PlaysACaptureInOrderWithItsTiming)
{
    std::string path = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") +
                       "/boardsim_capture_" + std::to_string(getpid()) + ".hidrec";
    {
        std::ofstream f(path);
        f << kCapture;
    }
    zt::sim::CBoardSim board;
    ASSERT_TRUE(board.Plug(0x1314, 0x1106, "ZEZ touch frame"));
    hid_device* h = hid_open(0x1314, 0x1106, nullptr);
    ASSERT_NE(nullptr, h);
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(board.PlayRecording(path));
    std::vector<Bytes> got;
    std::vector<long> atMs;
    while (got.size() < 3) {
        unsigned char buf[64];
        int n = hid_read_timeout(h, buf, sizeof buf, 1000);
        ASSERT_GT(n, 0);
        got.emplace_back(buf, buf + n);
        atMs.push_back((long)std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - t0).count());
    }
    EXPECT_TRUE(board.WaitPlayed(1000));
    EXPECT_EQ((Bytes{0x01, 0x07, 0x10, 0x00}), got[0]);
    EXPECT_EQ((Bytes{0x01, 0x07, 0x12, 0x00}), got[1]);
    EXPECT_EQ((Bytes{0x01, 0x00, 0x12}), got[2]);
    // Reports are never early; 80 ms apart in the capture.
    EXPECT_GE(atMs[1], 80);
    EXPECT_GE(atMs[2], 160);
    hid_close(h);
    remove(path.c_str());
}

TEST(BoardSim, AnswersOutputReportsAndRecordsFeatures)
{
    zt::sim::CBoardSim board;
    board.SetResponder([](const Bytes& sent) -> std::vector<Bytes> {
        return {Concat({0xAA}, sent)};
    });
    ASSERT_TRUE(board.Plug(0x1314, 0x1136));
    hid_device* h = hid_open(0x1314, 0x1136, nullptr);
    ASSERT_NE(nullptr, h);
    unsigned char out[3] = {0x05, 0x01, 0x02};
    EXPECT_EQ(3, hid_write(h, out, 3));
    unsigned char buf[16] = {0};
    EXPECT_EQ(4, hid_read_timeout(h, buf, sizeof buf, 1000));
    EXPECT_EQ((Bytes{0xAA, 0x05, 0x01, 0x02}), Bytes(buf, buf + 4));
    EXPECT_EQ(3, hid_send_feature_report(h, out, 3));
    EXPECT_TRUE(board.WaitSentFeatures(1, 1000));
    EXPECT_EQ((Bytes{0x05, 0x01, 0x02}), board.SentFeatures()[0]);
    EXPECT_EQ(1u, board.SentReports().size());
    // The product name reaches hidapi through sysfs.
    wchar_t name[64] = {0};
    EXPECT_EQ(0, hid_get_product_string(h, name, 64));
    EXPECT_STREQ(L"Simulated board", name);
    hid_close(h);
}

TEST(BoardSimProgram, PlaysACaptureToACommandAndPrintsWhatItSent)
{
    std::string dir = getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp";
    std::string path = dir + "/boardsim_cli_" + std::to_string(getpid()) + ".hidrec";
    {
        std::ofstream f(path);
        f << "N: ZEZ touch frame\nI: 3 1314 1104\n"
          << "E: 0.000000 4 01 07 10 00\nE: 0.020000 4 01 00 10 00\n";
    }
    char self[4096] = {0};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    zt::ChildProcess sim;
    // Without this process's preload: boardsim makes its own testbed.
    ASSERT_TRUE(sim.Start({BOARDSIM_BIN, "--play", path, "--delay-ms", "300", "--linger-ms", "100",
                           "--", self, "--boardsim-child", "1314", "1104", "2"},
                          {{"LD_PRELOAD", ""}}));
    int st = sim.Wait(20000);
    remove(path.c_str());
    ASSERT_TRUE(WIFEXITED(st)) << sim.Output();
    EXPECT_EQ(0, WEXITSTATUS(st)) << sim.Output();  // the command's status
    EXPECT_EQ(1, sim.CountLines("boardsim: plugged 1314:1104 \"ZEZ touch frame\""));
    EXPECT_EQ(1, sim.CountLines("boardsim: 2 output reports, 0 feature reports received"))
        << sim.Output();
    EXPECT_EQ(1, sim.CountLines("boardsim: output  01 07 10 00"));
    EXPECT_EQ(1, sim.CountLines("boardsim: output  01 00 10 00"));
}

} // namespace

// Opens the board that boardsim presents and sends each of the first count
// input reports back as an output report.
int BoardsimChild(int argc, char** argv)
{
    if (argc < 5)
        return 2;
    unsigned short vendor = (unsigned short)strtoul(argv[2], nullptr, 16);
    unsigned short product = (unsigned short)strtoul(argv[3], nullptr, 16);
    int count = atoi(argv[4]);
    hid_device* h = hid_open(vendor, product, nullptr);
    if (!h)
        return 3;
    int rc = 0;
    for (int i = 0; i < count && rc == 0; ++i) {
        unsigned char buf[64];
        int n = hid_read_timeout(h, buf, sizeof buf, 5000);
        if (n <= 0 || hid_write(h, buf, (size_t)n) != n)
            rc = 4;
    }
    hid_close(h);
    return rc;
}
