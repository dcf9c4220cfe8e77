// The calibration run: which samples are kept, how a point is reduced, what
// the calibration program is told, and what ends up in the configuration.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "CalibTestUtil.h"
#include "Pointer/OrientProcess.h"
#include "Pointer/SidekeyProcess.h"

namespace {

using zt::CalibDirTest;
using zt::ScopedHost;

struct Sample {
    int x, y;
};

class OrientTest : public CalibDirTest {
protected:
    // Feeds the samples; returns how many calls returned true.
    int Feed(COrientProcess& o, const std::vector<Sample>& samples)
    {
        int done = 0;
        for (const Sample& s : samples)
            done += o.AddSample(s.x, s.y) ? 1 : 0;
        return done;
    }
    static std::vector<Sample> Repeat(Sample s, int n) { return std::vector<Sample>(n, s); }
    static void Lift(COrientProcess& o)
    {
        o.m_nRecvCount = 0;
        o.m_bWaitUp = false;
    }
    // One whole touch at a constant position: skipped, kept and the one
    // sample that completes the point.
    int Touch(COrientProcess& o, Sample s) { return Feed(o, Repeat(s, o.m_nSkip + o.m_nRecvDataSize + 1)); }

    ScopedHost m_host;
};

TEST_F(OrientTest, SkipsAndKeepsSamplesByWorkType)
{
    struct Case {
        const char* workType;
        int skip;
    };
    const Case cases[] = {{"ZTBoardWorkIR", 12}, {"ZTBoardWorkIRQ", 8}, {"ZTBoardWorkDVT", 8},
                          {"ZTBoardWorkETPD", 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.workType);
        COrientProcess o(c.workType);
        EXPECT_EQ(c.skip, o.m_nSkip);
        o.StartOrient(2, ORIENT_SCREEN);
        ASSERT_EQ(20, o.m_nRecvDataSize);
        m_host.host.Take();

        // Dropped samples would pull the point far away if they were kept.
        EXPECT_EQ(0, Feed(o, Repeat({60000, 60000}, c.skip)));
        std::vector<Sample> kept;
        for (int i = 0; i < 20; ++i)
            kept.push_back({1000 + i, 2000 + 2 * i});
        EXPECT_EQ(0, Feed(o, kept));
        EXPECT_TRUE(m_host.host.Take().empty()) << "no point before the first sample after the kept ones";

        // That sample completes the point and is not part of it.
        EXPECT_FALSE(o.AddSample(1, 1));
        EXPECT_EQ(std::vector<std::string>{"advise:fin"}, m_host.host.Take());
        EXPECT_DOUBLE_EQ((20190.0 - 1019 - 1000) / 18, o.m_point[0][0]);
        EXPECT_DOUBLE_EQ((40380.0 - 2038 - 2000) / 18, o.m_point[0][1]);
        EXPECT_TRUE(o.m_bWaitUp);

        // The rest of the same touch is ignored.
        EXPECT_EQ(0, Feed(o, Repeat({5, 5}, 100)));
        EXPECT_TRUE(m_host.host.Take().empty());
        EXPECT_EQ(1, o.m_nCurPoint);
    }
}

TEST_F(OrientTest, TrimmedMeanDropsTheExtremesOfEachAxis)
{
    SetInt("ZTBoardWorkIRQ", "Constants", "ORIENT_RECV_DATA_SIZE", 5);
    COrientProcess o("ZTBoardWorkIRQ");
    o.StartOrient(1, ORIENT_SCREEN);
    Feed(o, Repeat({0, 0}, o.m_nSkip));
    Feed(o, {{100, 10}, {101, 20}, {400, 30}, {102, 40}, {103, -500}});
    EXPECT_TRUE(o.AddSample(0, 0));
    EXPECT_DOUBLE_EQ(102.0, o.m_point[0][0]); // (806 - 400 - 100) / 3
    EXPECT_DOUBLE_EQ(20.0, o.m_point[0][1]);  // (-400 - 40 + 500) / 3
}

TEST_F(OrientTest, FourPointRunAdvisesEachPointAndStoresTheGrid)
{
    COrientProcess o("ZTBoardWorkIRQ");
    o.StartOrient(4, ORIENT_SCREEN);
    m_host.host.Take();
    testing::internal::CaptureStdout();

    const Sample targets[] = {{1200, 700}, {1200, 31000}, {31000, 700}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(0, Touch(o, targets[i])) << "point " << i;
        EXPECT_EQ(std::vector<std::string>{"advise:fin"}, m_host.host.Take()) << "point " << i;
        // Without a lift the next target is not started.
        EXPECT_EQ(0, Touch(o, {7, 7}));
        EXPECT_TRUE(m_host.host.Take().empty());
        Lift(o);
    }
    // The last point: x alternates, so its mean has a fraction.
    std::vector<Sample> last = Repeat({0, 0}, o.m_nSkip);
    for (int i = 0; i < 20; ++i)
        last.push_back({1234 + i % 2, 31000});
    EXPECT_EQ(0, Feed(o, last));
    EXPECT_TRUE(o.AddSample(0, 0));
    EXPECT_EQ((std::vector<std::string>{"advise:fin", "reload"}), m_host.host.Take());
    EXPECT_FALSE(o.AddSample(0, 0)) << "samples after the run are ignored";
    Lift(o);
    EXPECT_EQ(0, Touch(o, {9, 9}));
    EXPECT_TRUE(m_host.host.Take().empty());

    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("(1200, 700 )\n"));
    EXPECT_NE(std::string::npos, out.find("(1234.5, 31000 )\n"));

    EXPECT_EQ("4", GetStr("ZTBoardWorkIRQ", "coordinate", "dotNum"));
    EXPECT_EQ("(1200.000000,700.000000)", GetStr("ZTBoardWorkIRQ", "coordinate", "dot0"));
    EXPECT_EQ("(1200.000000,31000.000000)", GetStr("ZTBoardWorkIRQ", "coordinate", "dot1"));
    EXPECT_EQ("(31000.000000,700.000000)", GetStr("ZTBoardWorkIRQ", "coordinate", "dot2"));
    EXPECT_EQ("(1234.500000,31000.000000)", GetStr("ZTBoardWorkIRQ", "coordinate", "dot3"));
    // Another work type's calibration is left alone.
    EXPECT_EQ("(1000.000000,500.000000)", GetStr("ZTBoardWorkIR", "coordinate", "dot0"));
}

TEST_F(OrientTest, LiftBeforeEnoughSamplesRestartsTheSamePoint)
{
    COrientProcess o("ZTBoardWorkIRQ");
    o.StartOrient(2, ORIENT_SCREEN);
    m_host.host.Take();
    EXPECT_EQ(0, Feed(o, Repeat({9000, 9000}, o.m_nSkip + 19)));
    Lift(o);
    EXPECT_EQ(0, Touch(o, {100, 200}));
    EXPECT_EQ(std::vector<std::string>{"advise:fin"}, m_host.host.Take());
    EXPECT_DOUBLE_EQ(100.0, o.m_point[0][0]);
    EXPECT_DOUBLE_EQ(200.0, o.m_point[0][1]);
    EXPECT_EQ(1, o.m_nCurPoint);
}

TEST_F(OrientTest, NewStartAbandonsTheRunInProgress)
{
    COrientProcess o("ZTBoardWorkIRQ");
    o.StartOrient(2, ORIENT_SCREEN);
    Touch(o, {100, 200});
    o.StartOrient(1, ORIENT_SCREEN);
    EXPECT_EQ(0, o.m_nCurPoint);
    EXPECT_FALSE(o.m_bWaitUp);
    EXPECT_EQ(0.0, o.m_point[0][0]);
    EXPECT_EQ(1, Touch(o, {300, 400}));
    EXPECT_EQ("1", GetStr("ZTBoardWorkIRQ", "coordinate", "dotNum"));
    EXPECT_EQ("(300.000000,400.000000)", GetStr("ZTBoardWorkIRQ", "coordinate", "dot0"));
}

TEST_F(OrientTest, SideKeyRunInterpolatesBothStrips)
{
    COrientProcess o("ZTBoardWorkIRQ");
    o.StartOrient(4, ORIENT_HOTKEY);
    m_host.host.Take();
    const Sample refs[] = {{0, 0}, {0, 1300}, {5000, 0}, {5000, 2600}};
    int done = 0;
    for (const Sample& s : refs) {
        done += Touch(o, s);
        Lift(o);
    }
    EXPECT_EQ(1, done);
    EXPECT_EQ((std::vector<std::string>{"advise:fin", "advise:fin", "advise:fin", "advise:fin",
                                        "reload"}),
              m_host.host.Take());

    EXPECT_EQ("(0.000000,0.000000)", GetStr("ZTBoardWorkIRQ", "HOTKEY", "key0"));
    EXPECT_EQ("(0.000000,100.000000)", GetStr("ZTBoardWorkIRQ", "HOTKEY", "key1"));
    EXPECT_EQ("(0.000000,1300.000000)", GetStr("ZTBoardWorkIRQ", "HOTKEY", "key13"));
    EXPECT_EQ("(5000.000000,0.000000)", GetStr("ZTBoardWorkIRQ", "HOTKEY", "key14"));
    EXPECT_EQ("(5000.000000,1200.000000)", GetStr("ZTBoardWorkIRQ", "HOTKEY", "key20"));
    EXPECT_EQ("(5000.000000,2600.000000)", GetStr("ZTBoardWorkIRQ", "HOTKEY", "key27"));
    // A side-key run leaves the screen calibration alone.
    EXPECT_EQ("(1000.000000,500.000000)", GetStr("ZTBoardWorkIRQ", "coordinate", "dot0"));

    // The side keys read them back: gaps of 100 on one strip and 200 on the
    // other give a key size of trunc(900 * 5 / 48).
    SetInt("ZTBoardWorkIRQ", "Flag", "Enable_Soft_Sidekey", 1);
    CSidekeyProcess keys(false, "ZTBoardWorkIRQ");
    keys.LoadConfig();
    EXPECT_DOUBLE_EQ(100.0, keys.m_key[1].y);
    EXPECT_DOUBLE_EQ(5000.0, keys.m_key[20].x);
    EXPECT_EQ(93, keys.m_nPointSize);
    EXPECT_EQ(20, keys.HitTest(5010, 1210));
}

TEST_F(OrientTest, SamplesPerPointAreClampedToTheUsableRange)
{
    struct Case {
        int configured;
        int used;
        bool diagnosed;
    };
    const Case cases[] = {{0, 3, true},      {2, 3, true},    {-7, 3, true}, {3, 3, false},
                          {200, 200, false}, {201, 200, true}, {100000, 200, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.configured);
        SetInt("ZTBoardWorkIRQ", "Constants", "ORIENT_RECV_DATA_SIZE", c.configured);
        COrientProcess o("ZTBoardWorkIRQ");
        testing::internal::CaptureStdout();
        o.StartOrient(1, ORIENT_SCREEN);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(c.used, o.m_nRecvDataSize);
        EXPECT_EQ(c.diagnosed, out.find("ORIENT_RECV_DATA_SIZE") != std::string::npos) << out;

        std::vector<Sample> samples = Repeat({0, 0}, o.m_nSkip);
        for (int i = 0; i < c.used; ++i)
            samples.push_back({500 + i % 3, 700});
        samples.push_back({0, 0});
        m_host.host.Take();
        EXPECT_EQ(1, Feed(o, samples));
        EXPECT_EQ((std::vector<std::string>{"advise:fin", "reload"}), m_host.host.Take());
        EXPECT_TRUE(std::isfinite(o.m_point[0][0]));
        EXPECT_NEAR(501.0, o.m_point[0][0], 1.0);
        EXPECT_DOUBLE_EQ(700.0, o.m_point[0][1]);
    }
}

TEST_F(OrientTest, PointCountIsClampedToTheUsableRange)
{
    COrientProcess o("ZTBoardWorkIRQ");
    testing::internal::CaptureStdout();
    o.StartOrient(31, ORIENT_SCREEN);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(30, o.m_nPointNum);
    EXPECT_NE(std::string::npos, out.find("point count 31")) << out;

    int done = 0;
    for (int i = 0; i < 31; ++i) {
        done += Touch(o, {100 * i, 50 * i});
        Lift(o);
        if (i == 29) {
            EXPECT_EQ(1, done) << "the 30th point ends the run";
        }
    }
    EXPECT_EQ(1, done);
    EXPECT_EQ(30, m_host.host.Count("advise:fin"));
    EXPECT_EQ("30", GetStr("ZTBoardWorkIRQ", "coordinate", "dotNum"));
    EXPECT_EQ("(2900.000000,1450.000000)", GetStr("ZTBoardWorkIRQ", "coordinate", "dot29"));
    EXPECT_EQ("<missing>", GetStr("ZTBoardWorkIRQ", "coordinate", "dot30"));

    testing::internal::CaptureStdout();
    o.StartOrient(-3, ORIENT_SCREEN);
    out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(0, o.m_nPointNum);
    EXPECT_NE(std::string::npos, out.find("point count -3")) << out;
    m_host.host.Take();
    EXPECT_EQ(0, Touch(o, {1, 1}));
    EXPECT_TRUE(m_host.host.Take().empty());
}

TEST_F(OrientTest, UnloadableFileStoresNothingButEndsTheRun)
{
    COrientProcess o("ZTBoardWorkIRQ");
    o.StartOrient(1, ORIENT_SCREEN);
    m_host.host.Take();
    ASSERT_EQ(0, unlink(m_dir.ConfigPath().c_str()));
    testing::internal::CaptureStdout();
    EXPECT_EQ(1, Touch(o, {100, 200}));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ((std::vector<std::string>{"advise:fin", "reload"}), m_host.host.Take());
    EXPECT_NE(std::string::npos, out.find("not stored")) << out;
    EXPECT_NE(0, access(m_dir.ConfigPath().c_str(), F_OK)) << "no file is made up";

    // Without a file a new run still reduces its points.
    o.StartOrient(1, ORIENT_HOTKEY);
    EXPECT_EQ(COrientProcess::kMinSamples, o.m_nRecvDataSize);
    EXPECT_EQ(1, Touch(o, {100, 200}));
}

} // namespace
