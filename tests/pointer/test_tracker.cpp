// The touch point tracker: stable ids, the optimal (not greedy) assignment,
// the gate, lost contacts reported once, id reuse order and wrap, smoothed
// output, and frames beyond the work space.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "Track/TouchTracker.h"

namespace {

typedef std::vector<TrackPoint> Frame;

Frame Points(const std::vector<std::pair<double, double>>& xy)
{
    Frame f;
    for (const auto& p : xy)
        f.push_back(TrackPoint(p.first, p.second, 1, 0, 0));
    return f;
}

// Runs one frame and returns the output list.
Frame Step(CTouchTracker& t, const std::vector<std::pair<double, double>>& xy)
{
    Frame f = Points(xy);
    t.Track(f);
    return f;
}

const TrackPoint* ById(const Frame& f, int id, int state = 1)
{
    for (const TrackPoint& p : f)
        if (p.id == id && p.state == state)
            return &p;
    return nullptr;
}

int CountState(const Frame& f, int state)
{
    int n = 0;
    for (const TrackPoint& p : f)
        n += p.state == state;
    return n;
}

TEST(TouchTracker, FirstFrameGivesFreshIdsInOrder)
{
    CTouchTracker t;
    Frame f = Step(t, {{100, 200}, {500, 600}});
    ASSERT_EQ(2u, f.size());
    EXPECT_EQ(0, f[0].id);
    EXPECT_EQ(1, f[1].id);
    for (const TrackPoint& p : f) {
        EXPECT_TRUE(p.fresh);
        EXPECT_EQ(1, p.state);
        EXPECT_EQ(0, p.step);
        EXPECT_EQ(p.x, p.GetX());
        EXPECT_EQ(p.y, p.GetY());
    }
    EXPECT_TRUE(t.IsIdInUse(0));
    EXPECT_TRUE(t.IsIdInUse(1));
    EXPECT_FALSE(t.IsIdInUse(2));
    EXPECT_EQ(2, t.NextId());
}

TEST(TouchTracker, MovingContactKeepsItsIdAndItsOutputLags)
{
    CTouchTracker t;
    Step(t, {{100, 300}, {900, 300}});
    Frame f = Step(t, {{910, 300}, {110, 300}});
    ASSERT_EQ(2u, f.size());
    // Listed in this frame's order, with the ids of the contacts they continue.
    EXPECT_EQ(1, f[0].id);
    EXPECT_EQ(0, f[1].id);
    EXPECT_FALSE(f[1].fresh);
    EXPECT_DOUBLE_EQ(107, f[1].GetX());
    EXPECT_DOUBLE_EQ(300, f[1].GetY());
    EXPECT_DOUBLE_EQ(10, f[1].step);
    EXPECT_DOUBLE_EQ(10, f[1].stepX);
    EXPECT_DOUBLE_EQ(0, f[1].stepY);
    for (int x = 120; x <= 300; x += 10) {
        f = Step(t, {{x, 300}, {900 + x - 100, 300}});
        ASSERT_EQ(2u, f.size()) << x;
        EXPECT_EQ(0, f[0].id) << x;
        EXPECT_EQ(1, f[1].id) << x;
        EXPECT_DOUBLE_EQ(x - 3, f[0].GetX());
    }
}

TEST(TouchTracker, LostContactIsReportedOnceAndItsIdReusedLate)
{
    CTouchTracker t;
    Step(t, {{100, 100}, {500, 500}, {900, 900}}); // ids 0, 1, 2
    Frame f = Step(t, {{100, 100}, {900, 900}});
    ASSERT_EQ(3u, f.size());
    EXPECT_EQ(0, f[0].id);
    EXPECT_EQ(2, f[1].id);
    EXPECT_EQ(1, f[2].id);
    EXPECT_EQ(0, f[2].state);
    EXPECT_EQ(500, f[2].x);
    EXPECT_FALSE(t.IsIdInUse(1));
    // Not reported again.
    f = Step(t, {{100, 100}, {900, 900}});
    EXPECT_EQ(2u, f.size());
    EXPECT_EQ(0, CountState(f, 0));
    // A new contact takes the id after the last one given, not the freed one.
    f = Step(t, {{100, 100}, {900, 900}, {1500, 200}});
    ASSERT_EQ(3u, f.size());
    EXPECT_EQ(3, f[2].id);
    EXPECT_TRUE(f[2].fresh);
}

TEST(TouchTracker, EmptyFrameReportsEveryContactLost)
{
    CTouchTracker t;
    Step(t, {{100, 100}, {500, 500}});
    Frame f = Step(t, {});
    ASSERT_EQ(2u, f.size());
    EXPECT_EQ(2, CountState(f, 0));
    EXPECT_TRUE(ById(f, 0, 0));
    EXPECT_TRUE(ById(f, 1, 0));
    EXPECT_FALSE(t.IsIdInUse(0));
    EXPECT_FALSE(t.IsIdInUse(1));
    EXPECT_TRUE(Step(t, {}).empty());
    // After the loss, a contact at the old spot is new.
    f = Step(t, {{100, 100}});
    ASSERT_EQ(1u, f.size());
    EXPECT_EQ(2, f[0].id);
    EXPECT_TRUE(f[0].fresh);
}

struct GateCase {
    const char* name;
    double dx, dy; // jump from the contact's position in the third frame
    bool kept;
};

void PrintTo(const GateCase& c, std::ostream* os) { *os << c.name; }

class TrackerGateTest : public ::testing::TestWithParam<GateCase> {};

// The contact moved by (10, 0) last frame: the gate is 60 in x and 50 in y,
// both inclusive.
TEST_P(TrackerGateTest, JumpBeyondTheGateIsANewContact)
{
    const GateCase& c = GetParam();
    CTouchTracker t;
    Step(t, {{1000, 500}});
    Step(t, {{1010, 500}});
    Frame f = Step(t, {{1010 + c.dx, 500 + c.dy}});
    if (c.kept) {
        ASSERT_EQ(1u, f.size());
        EXPECT_EQ(0, f[0].id);
        EXPECT_FALSE(f[0].fresh);
    } else {
        // The old contact lost and the new point new, in the same frame.
        ASSERT_EQ(2u, f.size());
        EXPECT_EQ(1, f[0].id);
        EXPECT_EQ(1, f[0].state);
        EXPECT_TRUE(f[0].fresh);
        EXPECT_EQ(0, f[1].id);
        EXPECT_EQ(0, f[1].state);
    }
}

INSTANTIATE_TEST_SUITE_P(Tracker, TrackerGateTest,
                         ::testing::Values(GateCase{"OnXEdge", 60, 0, true}, GateCase{"PastXEdge", 60.5, 0, false},
                                           GateCase{"OnYEdge", 0, 50, true}, GateCase{"PastYEdge", 0, -50.5, false},
                                           GateCase{"Backwards", -60, 0, true}, GateCase{"Diagonal", 55, 45, true}),
                         [](const ::testing::TestParamInfo<GateCase>& i) { return std::string(i.param.name); });

TEST(TouchTracker, AssignmentMaximisesTheTotalWeight)
{
    CTouchTracker t;
    // A heads right at 20 per frame and is at 120; B stands at 150.
    Step(t, {{100, 100}, {150, 100}});
    Step(t, {{120, 100}, {150, 100}});
    // Each contact on its own would take P (145) first; the best total gives
    // P to the standing B and Q (165) to A.
    Frame f = Step(t, {{145, 100}, {165, 100}});
    ASSERT_EQ(2u, f.size());
    EXPECT_EQ(1, f[0].id);
    EXPECT_EQ(0, f[1].id);
    EXPECT_EQ(0, CountState(f, 0));
}

TEST(TouchTracker, DirectionPrefersWhereAContactWasHeading)
{
    CTouchTracker t;
    // Moving up by 30 per frame; the next frame has two candidates 25 away,
    // one straight ahead and one behind. The one ahead continues it.
    Step(t, {{500, 500}});
    Step(t, {{500, 470}});
    Frame f = Step(t, {{500, 495}, {500, 445}});
    ASSERT_EQ(2u, f.size());
    EXPECT_EQ(0, f[1].id);
    EXPECT_EQ(1, f[0].id);
    EXPECT_NEAR(CTouchTracker::Direction(500, 470, 500, 445), f[1].direction, 1e-12);
}

TEST(TouchTracker, DirectionOfAMove)
{
    const double pi = std::acos(-1.0);
    const struct {
        double dx, dy, angle;
    } cases[] = {{0, 5, 0},     {0, -5, pi}, {0.0005, -5, pi}, {5, 0, 3 * pi / 2},
                 {-5, 0, pi / 2}, {5, 5, 7 * pi / 4}, {-5, -5, 3 * pi / 4}, {0, 0, pi}};
    for (const auto& c : cases)
        EXPECT_NEAR(c.angle, CTouchTracker::Direction(10, 10, 10 + c.dx, 10 + c.dy), 1e-9)
            << c.dx << "," << c.dy;
}

TEST(TouchTracker, IdsWrapAndSkipLiveOnes)
{
    CTouchTracker t;
    // Contact 0 stays; 99 short contacts come and go far from it.
    Step(t, {{10, 10}});
    for (int i = 1; i < 100; ++i) {
        Frame f = Step(t, {{10, 10}, {1000, 1000}});
        ASSERT_EQ(2u, f.size());
        EXPECT_EQ(i, f[1].id);
        f = Step(t, {{10, 10}});
        ASSERT_EQ(2u, f.size());
        EXPECT_EQ(0, f[1].state);
    }
    EXPECT_EQ(0, t.NextId());
    // The cursor wrapped to 0, which is held: the next is 1.
    Frame f = Step(t, {{10, 10}, {1000, 1000}});
    ASSERT_EQ(2u, f.size());
    EXPECT_EQ(0, f[0].id);
    EXPECT_EQ(1, f[1].id);
}

TEST(TouchTracker, FrameBeyondTheWorkSpaceTracksTheFirstHundred)
{
    CTouchTracker t;
    std::vector<std::pair<double, double>> many;
    for (int i = 0; i < 150; ++i)
        many.push_back({100.0 * (i % 15), 100.0 * (i / 15)});
    ::testing::internal::CaptureStdout();
    Frame f = Step(t, many);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("150 points in one frame")) << out;
    ASSERT_EQ(100u, f.size());
    std::set<int> ids;
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(many[i].first, f[i].x);
        ids.insert(f[i].id);
    }
    EXPECT_EQ(100u, ids.size());
    // The same frame again: the hundred keep their ids.
    ::testing::internal::CaptureStdout();
    f = Step(t, many);
    ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(100u, f.size());
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(i, f[i].id);
        EXPECT_FALSE(f[i].fresh);
    }
}

TEST(TouchTracker, NoFreeIdDropsThePointInsteadOfLooping)
{
    CTouchTracker t;
    std::vector<std::pair<double, double>> a, b;
    for (int i = 0; i < 100; ++i) {
        a.push_back({100.0 * (i % 10), 100.0 * (i / 10)});
        b.push_back({5000 + 100.0 * (i % 10), 5000 + 100.0 * (i / 10)});
    }
    Step(t, a);
    // A hundred new contacts while a hundred ids are still held by the ones
    // being lost in this very frame.
    ::testing::internal::CaptureStdout();
    Frame f = Step(t, b);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("no free id")) << out;
    EXPECT_EQ(100, CountState(f, 0));
    // Their ids are free now: the next frame takes them all.
    f = Step(t, b);
    EXPECT_EQ(100, CountState(f, 1));
    EXPECT_EQ(0, CountState(f, 0));
}

TEST(TouchTracker, CoincidentPointsHaveFiniteWeights)
{
    TrackPoint a(100, 100), b(100, 100), c(100.0000001, 100);
    EXPECT_EQ(10000, CTouchTracker::MatchWeight(a, b));
    double w = CTouchTracker::MatchWeight(a, c);
    EXPECT_TRUE(std::isfinite(w));
    EXPECT_LE(w, 2147483647.0);
    // Along the last move: e is the distance to the predicted point.
    TrackPoint m(200, 100);
    m.step = 10;
    m.direction = CTouchTracker::Direction(190, 100, 200, 100);
    TrackPoint ahead(210, 100);
    EXPECT_NEAR(10000.0 / 10, CTouchTracker::MatchWeight(m, ahead), 1e-6);
}

} // namespace
