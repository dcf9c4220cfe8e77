// The side-key process without the application: key positions and sizes,
// hit tests, the messages sent, and the press state machine with the key
// timer's expiry played by the test.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CalibTestUtil.h"
#include "Pointer/SidekeyProcess.h"

namespace {

using zt::CalibDirTest;
using zt::RecordingMouse;
using zt::ScopedHost;

// Keys 80 board units apart: the key size is trunc(6 * 80 * 5 / 48) = 50.
// Strip one at x = 0, strip two at x = 30000.
std::vector<double> EvenKeys(double gap = 80)
{
    std::vector<double> xy;
    for (int strip = 0; strip < 2; ++strip)
        for (int i = 0; i < 14; ++i) {
            xy.push_back(strip * 30000.0);
            xy.push_back(200 + gap * i);
        }
    return xy;
}

class SidekeyTest : public CalibDirTest {
protected:
    void WriteKeys(const char* section, int flag, const std::vector<double>& xy = EvenKeys())
    {
        SetPoints(section, "HOTKEY", "key", xy);
        SetInt(section, "Flag", "Enable_Soft_Sidekey", flag);
    }
    ScopedHost m_host;
};

TEST_F(SidekeyTest, TolerancesFollowTheWorkType)
{
    struct Case {
        const char* workType;
        int tolX, tolY;
    };
    const Case cases[] = {{"ZTBoardWorkIRQ", 18, 24}, {"ZTBoardWorkIR", 18, 24},
                          {"ZTBoardWorkETPD", 18, 24}, {"ZTBoardWorkDVT", 26, 24},
                          {"ZTBoardWorkDVTQ", 26, 24}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.workType);
        WriteKeys(c.workType, 1);
        CSidekeyProcess k(false, c.workType);
        k.LoadConfig();
        EXPECT_EQ(50, k.m_nPointSize);
        EXPECT_EQ(c.tolX, k.m_nTolX);
        EXPECT_EQ(c.tolY, k.m_nTolY);
        EXPECT_TRUE(k.m_bSoftKey);
    }
}

TEST_F(SidekeyTest, HitTestFindsTheKeyWithinTheTolerances)
{
    WriteKeys("ZTBoardWorkIRQ", 1);
    CSidekeyProcess k(false, "ZTBoardWorkIRQ");
    k.LoadConfig();
    struct Case {
        int x, y, key;
    };
    const Case cases[] = {
        {0, 200, 0},        {17, 223, 0},       {-17, 177, 0},     {18, 200, -1},
        {0, 224, -1},       {0, 280, 1},        {0, 200 + 80 * 13, 13},
        {30000, 200, 14},   {29983, 1240, 27},  {15000, 600, -1},
        // Just left of the board's edge: tested as x - 65535.
        {65530, 200, 0},    {65518, 200, 0},    {65517, 200, -1},
        {60000, 200, -1},   {60001, 200, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.key, k.HitTest(c.x, c.y)) << c.x << "," << c.y;
}

TEST_F(SidekeyTest, SoftKeysNeedTheFlagAndABoardWithoutKeys)
{
    struct Case {
        bool hadHand;
        int flag;
        bool on;
    };
    const Case cases[] = {{false, 1, true}, {false, 0, false}, {true, 1, false}, {true, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "hand " << c.hadHand << " flag " << c.flag);
        WriteKeys("ZTBoardWorkIRQ", c.flag);
        CSidekeyProcess k(c.hadHand, "ZTBoardWorkIRQ");
        k.LoadConfig();
        EXPECT_EQ(c.on, k.m_bSoftKey.load());
        EXPECT_EQ(c.on ? 0 : -1, k.HitTest(0, 200));
    }

    // The flag alone is re-read when the settings tool changes it.
    WriteKeys("ZTBoardWorkIRQ", 0);
    CSidekeyProcess k(false, "ZTBoardWorkIRQ");
    k.LoadConfig();
    EXPECT_EQ(-1, k.HitTest(0, 200));
    SetInt("ZTBoardWorkIRQ", "Flag", "Enable_Soft_Sidekey", 1);
    k.LoadSoftKeyFlag();
    EXPECT_EQ(0, k.HitTest(0, 200));
    SetInt("ZTBoardWorkIRQ", "Flag", "Enable_Soft_Sidekey", 0);
    k.LoadSoftKeyFlag();
    EXPECT_EQ(-1, k.HitTest(0, 200));
}

TEST_F(SidekeyTest, UnloadableFileKeepsPositionsAndTurnsSoftKeysOff)
{
    WriteKeys("ZTBoardWorkIRQ", 1);
    CSidekeyProcess k(false, "ZTBoardWorkIRQ");
    k.LoadConfig();
    ASSERT_TRUE(k.m_bSoftKey);
    ASSERT_EQ(0, unlink(m_dir.ConfigPath().c_str()));
    k.LoadConfig();
    EXPECT_FALSE(k.m_bSoftKey);
    EXPECT_DOUBLE_EQ(280.0, k.m_key[1].y);
    EXPECT_EQ(50, k.m_nPointSize);
    EXPECT_EQ(-1, k.HitTest(0, 200));
}

TEST_F(SidekeyTest, BrokenPositionsGiveNoKeysInsteadOfOverflowing)
{
    std::vector<double> xy = EvenKeys();
    xy[2 * 2 + 1] = 1e300; // key 2
    WriteKeys("ZTBoardWorkIRQ", 1, xy);
    CSidekeyProcess k(false, "ZTBoardWorkIRQ");
    k.LoadConfig();
    EXPECT_EQ(0, k.m_nPointSize);
    EXPECT_EQ(-1, k.HitTest(0, 200));
}

TEST_F(SidekeyTest, SendCmdBuildsTheMessage)
{
    struct Case {
        const char* word;
        int keyType;
        bool direct;
        const char* sent; // nullptr: nothing
    };
    const Case cases[] = {
        {"mous", 2, false, "#ZT@Stumous"}, {"mous", 1, false, "mous"},
        {"mous", 2, true, "mous"},         {"bped", 2, false, "#ZT@Stubped"},
        {"eare", 2, false, "#ZT@Stueare"}, {"anew", 2, false, "anew"},
        {"gped", 0, false, "gped"},        {"orient", 1, false, "orie"},
        {"ab", 1, false, "ab"},            {"", 2, false, nullptr},
    };
    CSidekeyProcess k(false, "ZTBoardWorkIRQ");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        k.m_nKeyType = c.keyType;
        k.SendCmd(c.word, c.direct);
        std::vector<std::string> expect;
        if (c.sent)
            expect.push_back(std::string("send:") + c.sent);
        EXPECT_EQ(expect, m_host.host.Take());
    }
}

// The state machine, step by step. Steps: "touch N" / "pen N" press soft key
// N; "word W" a word from a key map or a pen button; "fire" the key timer
// expires; "pens F B" sets the pen-button words; "inboard" sets
// g_bInBoardFrm. Each step lists what the application is asked for, in
// order; "rclick" stands for the right click of the pointer.
struct Step {
    const char* action;
    std::vector<std::string> expect;
};
struct Script {
    const char* name;
    std::vector<Step> steps;
};
void PrintTo(const Script& s, std::ostream* os) { *os << s.name; }

class SidekeyScriptTest : public SidekeyTest, public testing::WithParamInterface<Script> {
protected:
    void TearDown() override { g_bInBoardFrm = false; }
    std::vector<std::string> Run(CSidekeyProcess& k, const std::string& step)
    {
        std::istringstream in(step);
        std::string verb, a, b;
        in >> verb >> a >> b;
        if (verb == "touch" || verb == "pen")
            k.OnSoftKey(std::stoi(a), verb == "pen" ? 2 : 1);
        else if (verb == "word")
            k.StartSoftKey(a);
        else if (verb == "fire")
            k.ExecuteKey();
        else if (verb == "pens")
            k.SetPenKeyWords(a, b);
        else if (verb == "inboard")
            g_bInBoardFrm = true;
        return m_host.host.Take();
    }
};

// Puts its right clicks into the host's record, so that their order among
// the messages shows.
class ClickRecordingMouse : public RecordingMouse {
public:
    explicit ClickRecordingMouse(zt::RecordingHost& host) : m_host(host) {}
    int RightDown() override
    {
        m_host.Record("rclick");
        return 0;
    }

private:
    zt::RecordingHost& m_host;
};

TEST_P(SidekeyScriptTest, Runs)
{
    ClickRecordingMouse mouse(m_host.host);
    CSidekeyProcess k(false, "ZTBoardWorkIRQ");
    k.AttachPointer(&mouse, [] { return ScreenPoint{640, 360}; });
    for (const Step& s : GetParam().steps)
        EXPECT_EQ(s.expect, Run(k, s.action)) << "step " << s.action;
}

const std::vector<std::string> kNothing;
const std::string kArm = "cmd:3";

INSTANTIATE_TEST_SUITE_P(
    Presses, SidekeyScriptTest,
    testing::Values(
        Script{"SinglePress", {{"touch 0", {kArm}}, {"fire", {"send:anew"}}, {"fire", kNothing}}},
        Script{"SecondStripSameWord", {{"touch 14", {kArm}}, {"fire", {"send:anew"}}}},
        Script{"PenDoubleSendsOnlyTheDoubleWord",
               {{"touch 5", {kArm}}, {"touch 5", {"send:bped", "stop"}}, {"fire", kNothing}}},
        Script{"PenDoubleByPenHasThePrefix",
               {{"pen 5", {kArm}}, {"pen 5", {"send:#ZT@Stubped", "stop"}}, {"fire", kNothing}}},
        Script{"PenPressOfMouseHasThePrefix",
               {{"pen 4", {kArm}}, {"fire", {"send:#ZT@Stumous"}}, {"touch 4", {kArm}},
                {"fire", {"send:mous"}}}},
        Script{"OtherKeyWithinThePeriod",
               {{"touch 6", {kArm}}, {"touch 3", {"stop", "send:rpen", kArm}},
                {"fire", {"send:next"}}}},
        Script{"SameKeyAfterThePeriodIsANewPress",
               {{"touch 5", {kArm}}, {"fire", {"send:bpen"}}, {"touch 5", {kArm}},
                {"fire", {"send:bpen"}}}},
        Script{"PlainDoublePressRunsTheWordTwice",
               {{"touch 1", {kArm}}, {"touch 1", {"stop", "send:save", kArm}},
                {"fire", {"send:save"}}}},
        Script{"OrientRunsTheCalibrationProgram", {{"touch 12", {kArm}}, {"fire", {"cmd:1"}}}},
        Script{"BoardStartsTheSoftware", {{"touch 27", {kArm}}, {"fire", {"cmd:0"}}}},
        Script{"FrontDefault",
               {{"word front", {"send:elfc", kArm}}, {"fire", kNothing},
                {"word front", {"send:elfc", kArm}}, {"word front", {"send:elfd", "stop"}},
                {"fire", kNothing}}},
        Script{"BackDefaultRightClicks",
               {{"word back", {"send:elbc", kArm}}, {"fire", {"rclick"}}}},
        Script{"BackInBoardFrameDoesNotRightClick",
               {{"inboard", kNothing}, {"word back", {"send:elbc", kArm}}, {"fire", kNothing}}},
        Script{"BackDefaultDouble",
               {{"word back", {"send:elbc", kArm}}, {"word back", {"send:elbd", "stop", "cmd:0"}},
                {"fire", kNothing}}},
        Script{"FrontWithItsOwnWord",
               {{"pens save prev", kNothing}, {"word front", {kArm}}, {"fire", {"send:save"}},
                {"word front", {kArm}}, {"word front", {"stop", "send:save", kArm}},
                {"fire", {"send:save"}}}},
        Script{"BackWithItsOwnWord",
               {{"pens save bpen", kNothing}, {"pen 0", {kArm}}, {"fire", {"send:anew"}},
                {"word back", {kArm}}, {"fire", {"rclick", "send:bpen"}},
                {"word back", {kArm}},
                {"word back", {"stop", "send:bpen", "send:bpen", "cmd:0"}},
                {"fire", kNothing}}},
        Script{"KeyMapWordThenSoftKey",
               {{"word gpen", {kArm}}, {"touch 9", {"stop", "send:gpen", kArm}},
                {"fire", {"send:eare"}}}}),
    [](const testing::TestParamInfo<Script>& info) { return std::string(info.param.name); });

TEST_F(SidekeyTest, EveryPressIsPerformedOnceWhenTheTimerFiresMeanwhile)
{
    // The worker presses two keys in turn while the main thread's timer keeps
    // firing: each press is performed exactly once, either by the timer or by
    // the next press, never by both and never by neither.
    CSidekeyProcess k(false, "ZTBoardWorkIRQ");
    const int kPresses = 20000;
    std::atomic<bool> stop{false};
    std::thread timer([&] {
        while (!stop)
            k.ExecuteKey();
    });
    for (int i = 0; i < kPresses; ++i)
        k.OnSoftKey(1 + i % 2, 1); // "save", "prev"
    stop = true;
    timer.join();
    k.ExecuteKey(); // the last press, if still pending
    int save = 0, prev = 0;
    for (const std::string& e : m_host.host.Take()) {
        save += e == "send:save";
        prev += e == "send:prev";
        EXPECT_TRUE(e == "cmd:3" || e == "stop" || e == "send:prev" || e == "send:save") << e;
    }
    EXPECT_EQ(kPresses / 2, save);
    EXPECT_EQ(kPresses / 2, prev);
}

} // namespace
