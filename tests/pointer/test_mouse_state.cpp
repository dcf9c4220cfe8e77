// The pointer output's state machines against a recording fake of the six
// primitive requests: constants, hold-to-right-click, drag smoothing, the
// jitter filter and smoother, the two process-wide smoothing stages, and the
// dual-screen pointer records with taps and double taps.
#include "PointerTestUtil.h"

#include <functional>

using namespace zt;

namespace {

typedef std::vector<std::string> Calls;

const Calls kRightClick = {"lup", "rdown", "rup"};

std::string Move(int x, int y) { return "move " + std::to_string(x) + " " + std::to_string(y); }

int CountOf(const Calls& calls, const std::string& s)
{
    int n = 0;
    for (const auto& c : calls)
        n += c == s;
    return n;
}

// ---------------------------------------------------------------------------
// Constants

struct ConstantsCase {
    const char* name;
    const char* element; // the IRQ section's Constants element; null: no file
    int limitCount, limitMove;
    float rc1, rc2;
};

void PrintTo(const ConstantsCase& c, std::ostream* os) { *os << c.name; }

class ConstantsTest : public ::testing::TestWithParam<ConstantsCase> {};

TEST_P(ConstantsTest, LoadsFromTheWorkTypeSection)
{
    const ConstantsCase& c = GetParam();
    ScopedWorkDir wd("constants", c.element != nullptr);
    if (c.element)
        wd.SetElement("ZTBoardWorkIRQ", "Constants", c.element);
    FakeMouse m;
    m.SetConstants(7, 7, 7, 7);
    m.LoadConstants();
    EXPECT_EQ(c.limitCount, m.GetLimitCount());
    EXPECT_EQ(c.limitMove, m.GetLimitMove());
    EXPECT_FLOAT_EQ(c.rc1, m.m_fRC1);
    EXPECT_FLOAT_EQ(c.rc2, m.m_fRC2);
}

INSTANTIATE_TEST_SUITE_P(
    Pointer, ConstantsTest,
    ::testing::Values(
        ConstantsCase{"NoFile", nullptr, 120, 3, 0.4f, 0.6f},
        ConstantsCase{"Shipped", R"(<Constants LIMIT_COUNT="120" LIMIT_MOVE="3" RC1="0.4" RC2="0.6"/>)", 120, 3, 0.4f, 0.6f},
        ConstantsCase{"Custom", R"(<Constants LIMIT_COUNT="50" LIMIT_MOVE="8" RC1="0.25" RC2="0.75"/>)", 50, 8, 0.25f, 0.75f},
        ConstantsCase{"Rc2TakesRc1", R"(<Constants LIMIT_COUNT="10" LIMIT_MOVE="2" RC1="0.3"/>)", 10, 2, 0.3f, 0.3f},
        ConstantsCase{"NoRc1", R"(<Constants LIMIT_COUNT="10" LIMIT_MOVE="2" RC2="0.7"/>)", 10, 2, 0.0f, 0.7f},
        ConstantsCase{"MissingAttributesAreZero", R"(<Constants RC1="0.5" RC2="0.5"/>)", 0, 0, 0.5f, 0.5f},
        ConstantsCase{"NoElement", "", 0, 0, 0.0f, 0.0f},
        // Longer than the 19 characters the buffer holds: cut, never overrun.
        ConstantsCase{"LongText", R"(<Constants LIMIT_COUNT="1" LIMIT_MOVE="1" RC1="0.25000000000000000000000009" RC2="0.5"/>)", 1, 1, 0.25f, 0.5f},
        ConstantsCase{"Garbage", R"(<Constants LIMIT_COUNT="x" LIMIT_MOVE="3" RC1="abc" RC2="0.6"/>)", 0, 3, 0.0f, 0.6f}),
    [](const ::testing::TestParamInfo<ConstantsCase>& i) { return std::string(i.param.name); });

// ---------------------------------------------------------------------------
// MouseEvent

class MouseEventTest : public ::testing::Test {
protected:
    void SetUp() override { m.SetConstants(120, 3, 0.4f, 0.6f); }
    // Lands at (x, y) and holds n more samples at (x + dx, y + dy).
    Calls Hold(int x, int y, int n, int dx = 1, int dy = 2)
    {
        m.MouseEvent(x, y, MOUSE_DOWN);
        m.Take();
        for (int i = 0; i < n; ++i)
            m.MouseEvent(x + dx, y + dy, MOUSE_DOWN);
        return m.Take();
    }
    ScopedPointerHost h;
    FakeMouse m;
};

TEST_F(MouseEventTest, FirstSampleMovesThenPresses)
{
    m.MouseEvent(300, 400, MOUSE_DOWN);
    EXPECT_EQ((Calls{Move(300, 400), "ldown"}), m.Take());
    EXPECT_TRUE(m.IsPressed());
    m.MouseEvent(300, 400, MOUSE_UP);
    EXPECT_EQ((Calls{"lup"}), m.Take());
    EXPECT_FALSE(m.IsPressed());
    // A release without a press sends nothing.
    m.MouseEvent(300, 400, MOUSE_UP);
    EXPECT_TRUE(m.Take().empty());
}

TEST_F(MouseEventTest, HoldRightClicksAtThe121stStillSampleOncePerContact)
{
    Calls calls = Hold(500, 500, 120);
    EXPECT_EQ(0, CountOf(calls, "rdown"));
    m.MouseEvent(501, 502, MOUSE_DOWN);
    calls = m.Take();
    ASSERT_EQ(4u, calls.size());
    EXPECT_EQ(kRightClick, Calls(calls.begin(), calls.begin() + 3));
    // Holding on: no second right click in the same contact.
    for (int i = 0; i < 300; ++i)
        m.MouseEvent(501, 502, MOUSE_DOWN);
    EXPECT_EQ(0, CountOf(m.Take(), "rdown"));
    // The release at the end still sends the left button's release.
    m.MouseEvent(501, 502, MOUSE_UP);
    EXPECT_EQ((Calls{"lup"}), m.Take());
    // The next contact can right-click again.
    calls = Hold(500, 500, 121);
    EXPECT_EQ(1, CountOf(calls, "rdown"));
}

TEST_F(MouseEventTest, StraySamplesDoNotResetTheHoldCount)
{
    m.MouseEvent(500, 500, MOUSE_DOWN);
    for (int i = 0; i < 60; ++i)
        m.MouseEvent(500, 500, MOUSE_DOWN);
    m.MouseEvent(503, 500, MOUSE_DOWN); // LIMIT_MOVE 3 is not within (strict)
    for (int i = 0; i < 60; ++i)
        m.MouseEvent(500, 500, MOUSE_DOWN);
    EXPECT_EQ(0, CountOf(m.Take(), "rdown"));
    m.MouseEvent(500, 500, MOUSE_DOWN);
    EXPECT_EQ(1, CountOf(m.Take(), "rdown"));
}

TEST_F(MouseEventTest, HoldCountStartsOverWithEveryContact)
{
    Hold(500, 500, 100);
    m.MouseEvent(500, 500, MOUSE_UP);
    Calls calls = Hold(500, 500, 100);
    EXPECT_EQ(0, CountOf(calls, "rdown"));
}

TEST_F(MouseEventTest, ZeroLimitCountNeverRightClicks)
{
    m.SetConstants(0, 3, 0.4f, 0.6f);
    EXPECT_EQ(0, CountOf(Hold(500, 500, 500), "rdown"));
}

TEST_F(MouseEventTest, RightClickSequencePausesBetweenRequests)
{
    m.MouseEvent(0, 0, MOUSE_RCLICK);
    ASSERT_EQ(kRightClick, m.calls);
    EXPECT_GE(m.times[1] - m.times[0], CMouseCtrlBase::kRightClickPauseUs);
    EXPECT_GE(m.times[2] - m.times[1], CMouseCtrlBase::kRightClickPauseUs);
}

TEST_F(MouseEventTest, DragSmoothingBlendsWithTheLastSentPoint)
{
    m.MouseEvent(100, 100, MOUSE_DOWN);
    m.Take();
    m.MouseEvent(200, 100, MOUSE_DOWN);
    m.MouseEvent(200, 100, MOUSE_DOWN);
    m.MouseEvent(200, 300, MOUSE_DOWN);
    EXPECT_EQ((Calls{Move(140, 100), Move(164, 100), Move(178, 180)}), m.Take());
}

TEST_F(MouseEventTest, ZeroWeightsDragToTheOrigin)
{
    m.SetConstants(0, 0, 0, 0);
    m.MouseEvent(100, 100, MOUSE_DOWN);
    m.MouseEvent(200, 100, MOUSE_DOWN);
    EXPECT_EQ((Calls{Move(100, 100), "ldown", Move(0, 0)}), m.Take());
}

struct TypeCase {
    const char* name;
    bool pressed;
    int type;
    Calls expected;
};

void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.name; }

class MouseEventTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(MouseEventTypeTest, OtherTypes)
{
    const TypeCase& c = GetParam();
    ScopedPointerHost h;
    FakeMouse m;
    m.SetConstants(120, 3, 0.4f, 0.6f);
    if (c.pressed)
        m.MouseEvent(10, 20, MOUSE_DOWN);
    m.Take();
    m.MouseEvent(30, 40, c.type);
    EXPECT_EQ(c.expected, m.Take());
    EXPECT_EQ(c.pressed, m.IsPressed());
}

INSTANTIATE_TEST_SUITE_P(
    Pointer, MouseEventTypeTest,
    ::testing::Values(TypeCase{"RightClick", false, MOUSE_RCLICK, kRightClick},
                      TypeCase{"Click", false, MOUSE_CLICK, {"ldown", "lup"}},
                      TypeCase{"Move", false, MOUSE_MOVE, {Move(30, 40)}},
                      TypeCase{"MoveWhilePressed", true, MOUSE_MOVE, {Move(30, 40)}},
                      TypeCase{"RepressUnpressed", false, MOUSE_REPRESS, {}},
                      TypeCase{"RepressPressed", true, MOUSE_REPRESS, {"lup", "ldown"}},
                      TypeCase{"Unknown", true, 6, {}},
                      TypeCase{"Negative", false, -1, {}}),
    [](const ::testing::TestParamInfo<TypeCase>& i) { return std::string(i.param.name); });

// ---------------------------------------------------------------------------
// FilterMouseEvent: jitter filter and smoother

class FilterTest : public MouseEventTest {};

TEST_F(FilterTest, MovingPenIsSmoothedAfterAnUnfilteredFirstDrag)
{
    m.FilterMouseEvent(100, 100, MOUSE_DOWN);
    EXPECT_EQ((Calls{Move(100, 100), "ldown"}), m.Take());
    for (int x = 110; x <= 150; x += 10)
        m.FilterMouseEvent(x, 100, MOUSE_DOWN);
    // 110 unfiltered; then the smoother: 120 as is, (130 + 120) / 2,
    // 140 / 2 + (130 + 120) / 4, 150 / 2 + (132 + 130) / 4.
    EXPECT_EQ((Calls{Move(110, 100), Move(120, 100), Move(125, 100), Move(132, 100), Move(140, 100)}),
              m.Take());
}

TEST_F(FilterTest, StationaryPenMovesEveryFourthSample)
{
    m.SetConstants(1000, 0, 0.4f, 0.6f);
    m.FilterMouseEvent(100, 100, MOUSE_DOWN);
    m.Take();
    // The unfiltered first drag and one ten-sample cycle at one spot.
    for (int i = 0; i < 10; ++i)
        m.FilterMouseEvent(100, 100, MOUSE_DOWN);
    EXPECT_EQ(10u, m.Take().size());
    // Now stationary: a group of four gives one move, to the combination of
    // its first (100, 100) and last (103, 104) sample, (102, 104), smoothed
    // with the history (100, 100).
    m.FilterMouseEvent(100, 100, MOUSE_DOWN);
    m.FilterMouseEvent(110, 90, MOUSE_DOWN);
    m.FilterMouseEvent(95, 105, MOUSE_DOWN);
    EXPECT_TRUE(m.Take().empty());
    m.FilterMouseEvent(103, 104, MOUSE_DOWN);
    EXPECT_EQ((Calls{Move(101, 102)}), m.Take());
}

TEST_F(FilterTest, ReleaseStartsTheFilterOver)
{
    m.FilterMouseEvent(100, 100, MOUSE_DOWN);
    for (int x = 110; x <= 150; x += 10)
        m.FilterMouseEvent(x, 100, MOUSE_DOWN);
    m.FilterMouseEvent(150, 100, MOUSE_UP);
    EXPECT_EQ("lup", m.Take().back());
    m.FilterMouseEvent(500, 500, MOUSE_DOWN);
    m.FilterMouseEvent(600, 600, MOUSE_DOWN); // unfiltered again
    m.FilterMouseEvent(700, 700, MOUSE_DOWN); // smoother from state 0: as is
    EXPECT_EQ((Calls{Move(500, 500), "ldown", Move(600, 600), Move(700, 700)}), m.Take());
}

TEST_F(FilterTest, HoldRightClicksAsMouseEventDoes)
{
    m.FilterMouseEvent(500, 500, MOUSE_DOWN);
    for (int i = 0; i < 120; ++i)
        m.FilterMouseEvent(501, 501, MOUSE_DOWN);
    EXPECT_EQ(0, CountOf(m.Take(), "rdown"));
    m.FilterMouseEvent(501, 501, MOUSE_DOWN);
    EXPECT_EQ(1, CountOf(m.Take(), "rdown"));
    m.SetConstants(0, 3, 0.4f, 0.6f);
    m.FilterMouseEvent(501, 501, MOUSE_UP);
    m.FilterMouseEvent(500, 500, MOUSE_DOWN);
    for (int i = 0; i < 200; ++i)
        m.FilterMouseEvent(500, 500, MOUSE_DOWN);
    EXPECT_EQ(0, CountOf(m.Take(), "rdown"));
}

// ---------------------------------------------------------------------------
// SmoothMouseEvent: two process-wide stages

class SmoothTest : public MouseEventTest {};

TEST_F(SmoothTest, TwoStagesAfterAnUnfedFirstSample)
{
    m.SmoothMouseEvent(100, 100, MOUSE_DOWN);
    EXPECT_EQ((Calls{Move(100, 100), "ldown"}), m.Take());
    m.SmoothMouseEvent(200, 100, MOUSE_DOWN); // stage 1 starts: as is
    m.SmoothMouseEvent(300, 100, MOUSE_DOWN); // 0.2*300 + 0.8*200 = 220; stage 2 starts
    m.SmoothMouseEvent(300, 100, MOUSE_DOWN); // 236, then (236 + 220) / 2
    EXPECT_EQ((Calls{Move(200, 100), Move(220, 100), Move(228, 100)}), m.Take());
    // A release resets both stages.
    m.SmoothMouseEvent(300, 100, MOUSE_UP);
    EXPECT_EQ((Calls{"lup"}), m.Take());
    m.SmoothMouseEvent(500, 500, MOUSE_DOWN);
    m.SmoothMouseEvent(600, 500, MOUSE_DOWN);
    EXPECT_EQ((Calls{Move(500, 500), "ldown", Move(600, 500)}), m.Take());
}

TEST_F(SmoothTest, StagesBelongToTheProcess)
{
    FakeMouse other;
    other.SetConstants(120, 3, 0.4f, 0.6f);
    m.SmoothMouseEvent(100, 100, MOUSE_DOWN);
    m.SmoothMouseEvent(200, 100, MOUSE_DOWN);
    // The other object's drag continues the stages the first one fed.
    other.SmoothMouseEvent(0, 0, MOUSE_DOWN);
    other.SmoothMouseEvent(100, 0, MOUSE_DOWN);
    EXPECT_EQ((Calls{Move(0, 0), "ldown", Move(180, 80)}), other.Take());
}

TEST_F(SmoothTest, NewPointerObjectStartsWithFreshStages)
{
    m.SmoothMouseEvent(100, 100, MOUSE_DOWN);
    m.SmoothMouseEvent(200, 100, MOUSE_DOWN);
    // The board went away mid-contact; the next board's pointer object must
    // not blend with the old board's last point.
    FakeMouse next;
    next.SmoothMouseEvent(0, 0, MOUSE_DOWN);
    next.SmoothMouseEvent(100, 0, MOUSE_DOWN);
    EXPECT_EQ((Calls{Move(0, 0), "ldown", Move(100, 0)}), next.Take());
}

TEST_F(SmoothTest, ZeroLimitCountRightClicksAtTheFirstStillSample)
{
    m.SetConstants(0, 3, 0.4f, 0.6f);
    m.SmoothMouseEvent(500, 500, MOUSE_DOWN);
    m.SmoothMouseEvent(520, 500, MOUSE_DOWN); // not still
    EXPECT_EQ(0, CountOf(m.Take(), "rdown"));
    m.SmoothMouseEvent(501, 500, MOUSE_DOWN);
    Calls calls = m.Take();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(kRightClick, Calls(calls.begin(), calls.begin() + 3));
    for (int i = 0; i < 50; ++i)
        m.SmoothMouseEvent(501, 500, MOUSE_DOWN);
    EXPECT_EQ(0, CountOf(m.Take(), "rdown"));
}

TEST_F(SmoothTest, DefaultsRightClickAtThe121stStillSample)
{
    m.SmoothMouseEvent(500, 500, MOUSE_DOWN);
    for (int i = 0; i < 120; ++i)
        m.SmoothMouseEvent(500, 500, MOUSE_DOWN);
    EXPECT_EQ(0, CountOf(m.Take(), "rdown"));
    m.SmoothMouseEvent(500, 500, MOUSE_DOWN);
    EXPECT_EQ(1, CountOf(m.Take(), "rdown"));
}

TEST_F(SmoothTest, RepressDoesNothing)
{
    m.SmoothMouseEvent(500, 500, MOUSE_DOWN);
    m.Take();
    m.SmoothMouseEvent(500, 500, MOUSE_REPRESS);
    EXPECT_TRUE(m.Take().empty());
    m.SmoothMouseEvent(5, 6, MOUSE_CLICK);
    m.SmoothMouseEvent(5, 6, MOUSE_MOVE);
    EXPECT_EQ((Calls{"ldown", "lup", Move(5, 6)}), m.Take());
}

// ---------------------------------------------------------------------------
// DualMouseEvent: pointer records for the dual-screen peer

class DualTest : public MouseEventTest {
protected:
    // A tap: landing at (x, y), one still sample, release; at time t.
    void Tap(int x, int y, long long t)
    {
        m.now = t;
        m.DualMouseEvent(x, y, MOUSE_DOWN);
        m.DualMouseEvent(x, y, MOUSE_DOWN);
        m.DualMouseEvent(x, y, MOUSE_UP);
    }
    std::vector<std::string> Records() { return h.host.TakeDual(); }
    std::string Output(const std::function<void()>& f)
    {
        ::testing::internal::CaptureStdout();
        f();
        return ::testing::internal::GetCapturedStdout();
    }
};

TEST_F(DualTest, ContactBecomesMovePressMovesRelease)
{
    m.DualMouseEvent(100, 100, MOUSE_DOWN);
    m.DualMouseEvent(200, 100, MOUSE_DOWN);
    m.DualMouseEvent(200, 100, MOUSE_DOWN);
    m.DualMouseEvent(250, 250, MOUSE_UP);
    EXPECT_EQ((Calls{"1 100 100", "0 100 100", "1 140 100", "1 164 100", "2 164 100"}), Records());
    // The local pointer is untouched.
    EXPECT_TRUE(m.Take().empty());
    EXPECT_FALSE(m.IsPressed());
}

TEST_F(DualTest, OtherTypes)
{
    m.DualMouseEvent(5, 6, MOUSE_CLICK);
    m.DualMouseEvent(7, 8, MOUSE_MOVE);
    m.DualMouseEvent(7, 8, MOUSE_RCLICK);
    m.DualMouseEvent(7, 8, MOUSE_REPRESS);
    m.DualMouseEvent(7, 8, MOUSE_UP); // not pressed: nothing
    m.DualMouseEvent(7, 8, 9);
    EXPECT_EQ((Calls{"0 5 6", "2 5 6", "1 7 8"}), Records());
    EXPECT_TRUE(m.Take().empty());
}

TEST_F(DualTest, FirstTapPrintsSingleClickAndAQuickSecondTapDoubleClicks)
{
    std::string out = Output([&] { Tap(400, 300, 1000); });
    EXPECT_NE(std::string::npos, out.find("single click")) << out;
    EXPECT_EQ((Calls{"1 400 300", "0 400 300", "1 400 300", "2 400 300"}), Records());
    // 300 ms later, landing 11 pixels away (< 4 x LIMIT_MOVE): double click
    // at the position passed with the release.
    out = Output([&] {
        m.now = 1300;
        m.DualMouseEvent(411, 289, MOUSE_DOWN);
        m.DualMouseEvent(411, 290, MOUSE_DOWN);
        m.DualMouseEvent(420, 295, MOUSE_UP);
    });
    EXPECT_EQ(std::string::npos, out.find("single click")) << out;
    Calls r = Records();
    ASSERT_FALSE(r.empty());
    EXPECT_EQ("3 420 295", r.back());
}

struct TapCase {
    const char* name;
    int dx, dy;       // second landing point relative to the first
    long long dt;     // ms between the two releases
    bool doubleClick;
    bool singleLine;  // "single click" printed at the second release
};

void PrintTo(const TapCase& c, std::ostream* os) { *os << c.name; }

class DualTapTest : public DualTest, public ::testing::WithParamInterface<TapCase> {};

TEST_P(DualTapTest, SecondTap)
{
    const TapCase& c = GetParam();
    Tap(400, 300, 5000);
    Records();
    std::string out = Output([&] { Tap(400 + c.dx, 300 + c.dy, 5000 + c.dt); });
    Calls r = Records();
    EXPECT_EQ(c.doubleClick, !r.empty() && r.back()[0] == '3') << ::testing::PrintToString(r);
    EXPECT_EQ(c.singleLine, out.find("single click") != std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(
    Pointer, DualTapTest,
    ::testing::Values(TapCase{"Quick", 0, 0, 300, true, false},
                      TapCase{"JustInTime", 0, 0, 499, true, false},
                      TapCase{"TooLate", 0, 0, 500, false, true},
                      TapCase{"TooFarX", 12, 0, 300, false, false},
                      TapCase{"TooFarY", 0, -12, 300, false, false},
                      TapCase{"NearEnough", 11, -11, 300, true, false}),
    [](const ::testing::TestParamInfo<TapCase>& i) { return std::string(i.param.name); });

TEST_F(DualTest, ContactThatMovesOrHoldsLongIsNoTap)
{
    // Ends away from its landing point.
    std::string out = Output([&] {
        m.DualMouseEvent(400, 300, MOUSE_DOWN);
        m.DualMouseEvent(450, 300, MOUSE_DOWN);
        m.DualMouseEvent(450, 300, MOUSE_UP);
    });
    EXPECT_EQ(std::string::npos, out.find("single click"));
    // Held still for more than 20 samples.
    out = Output([&] {
        m.DualMouseEvent(400, 300, MOUSE_DOWN);
        for (int i = 0; i < 21; ++i)
            m.DualMouseEvent(400, 300, MOUSE_DOWN);
        m.DualMouseEvent(400, 300, MOUSE_UP);
    });
    EXPECT_EQ(std::string::npos, out.find("single click"));
    // A landing with no further sample.
    out = Output([&] {
        m.DualMouseEvent(400, 300, MOUSE_DOWN);
        m.DualMouseEvent(400, 300, MOUSE_UP);
    });
    EXPECT_EQ(std::string::npos, out.find("single click"));
    // Held exactly 20 samples: still a tap.
    out = Output([&] {
        m.DualMouseEvent(400, 300, MOUSE_DOWN);
        for (int i = 0; i < 20; ++i)
            m.DualMouseEvent(400, 300, MOUSE_DOWN);
        m.DualMouseEvent(400, 300, MOUSE_UP);
    });
    EXPECT_NE(std::string::npos, out.find("single click"));
}

TEST_F(DualTest, DragReleaseKeepsTheLastTapTime)
{
    Tap(400, 300, 1000);
    m.now = 1400;
    m.DualMouseEvent(400, 300, MOUSE_DOWN);
    m.DualMouseEvent(600, 300, MOUSE_DOWN);
    m.DualMouseEvent(600, 300, MOUSE_UP);
    Records();
    // 600 ms after the first tap, 200 ms after the drag: no double click.
    Tap(400, 300, 1600);
    Calls r = Records();
    EXPECT_NE("3", r.back().substr(0, 1)) << ::testing::PrintToString(r);
}

TEST_F(DualTest, LocalReleaseTimeIsShared)
{
    Tap(400, 300, 1000);
    // The local pointer releases at 2000; a dual tap at 2300 measures from it.
    m.now = 2000;
    m.MouseEvent(10, 10, MOUSE_DOWN);
    m.MouseEvent(10, 10, MOUSE_UP);
    Records();
    Tap(400, 300, 2300);
    Calls r = Records();
    EXPECT_EQ("3 400 300", r.back());
}

TEST_F(DualTest, HoldSetsNoRightClickAndSendsNoLocalRequest)
{
    m.SetConstants(5, 3, 0.4f, 0.6f);
    m.DualMouseEvent(100, 100, MOUSE_DOWN);
    for (int i = 0; i < 20; ++i)
        m.DualMouseEvent(100, 100, MOUSE_DOWN);
    EXPECT_TRUE(m.Take().empty());
    Calls r = Records();
    EXPECT_EQ(22u, r.size());
    for (size_t i = 2; i < r.size(); ++i)
        EXPECT_EQ("1 100 100", r[i]);
}

} // namespace
