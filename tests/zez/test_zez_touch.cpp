// The multi-touch frame workers in the dual-screen modes: the split line
// with its decision table and band, the tracked contacts of dual-full mode
// with their slots and touch records, frames spanning several reports,
// contact sizes, and the release of contacts whose lift never came.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "ZezHarness.h"

using namespace zez;
using Strings = std::vector<std::string>;

namespace {

class ZezDual : public ZezTest {
protected:
    Strings Dual(size_t from = 0)
    {
        return Events(from, {"move", "press", "release", "point", "touch", "send"});
    }
};

std::string Point(int action, const ScreenPoint& s)
{
    return "point " + std::to_string(action) + " " + std::to_string(s.x) + " " + std::to_string(s.y);
}

// Where the tracker puts a contact seen at cur after prev.
ScreenPoint Sm(const ScreenPoint& cur, const ScreenPoint& prev)
{
    TrackPoint p(cur.x, cur.y);
    p.prevX = prev.x;
    p.prevY = prev.y;
    p.fresh = false;
    return ScreenPoint{(int)p.GetX(), (int)p.GetY()};
}

std::string TouchRec(int slot, int state, const ScreenPoint& s)
{
    return "touch " + std::to_string(slot) + " " + std::to_string(state) + " " + std::to_string(s.x) + " " +
           std::to_string(s.y);
}

int TouchState(const std::string& e)
{
    int slot = -1, state = -1;
    sscanf(e.c_str(), "touch %d %d", &slot, &state);
    return state;
}

// ---------------------------------------------------------------- split

// Screen X positions relative to the split line at 960, and the board X of
// each (board Y 8000).
struct SplitPoints {
    int left, right, mid, band;
};

SplitPoints Find(Probe* w)
{
    SplitPoints p;
    p.left = w->BoardXFor(400, 8000);
    p.right = w->BoardXFor(1500, 8000);
    p.band = w->BoardXFor(955, 8000);
    p.mid = w->BoardXFor(960, 8000);
    return p;
}

TEST_F(ZezDual, SplitDecisionTable)
{
    enum Who { L, R, M, B, N }; // left, right, on the line, in the band, no contact
    struct Case {
        const char* name;
        int statusA;
        Who a;
        int statusB;
        Who b;
        // A report first, to have pointers down: none, local (A left), peer
        // (A right) or both (A left, B right).
        const char* before;
        // Expected, as a list of "local X", "peer X", "upT", "upS".
        Strings actions;
    } cases[] = {
        {"A left B right", 7, L, 7, R, "", {"local L", "peer R"}},
        {"A right B left", 7, R, 7, L, "", {"local L", "peer R"}},
        {"A right B on the line", 7, R, 7, M, "", {"local R", "peer M"}},
        {"both left", 7, L, 7, L, "local", {"upT"}},
        {"both right", 7, R, 7, R, "peer", {"upS"}},
        {"A left alone", 7, L, 0, N, "peer", {"local L", "upS"}},
        {"A right alone", 7, R, 0, N, "local", {"upT", "peer R"}},
        {"A in the band", 7, B, 0, N, "both", {}},
        {"B left alone", 0, N, 7, L, "peer", {"local L", "upS"}},
        {"B right alone", 0, N, 7, R, "local", {"upT", "peer R"}},
        {"both lifted", 0, N, 0, N, "both", {"upT", "upS"}},
        {"neither lifted nor touching", 4, N, 4, N, "both", {}},
        {"B in an odd state", 7, L, 4, N, "both", {"local L"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Probe* w = Make(g_irqModelZEZ);
        w->SetWorkMode(9, 5000);
        w->SetWorkMode(11, 960);
        SplitPoints p = Find(w);
        ASSERT_EQ(960, w->Screen(p.mid, 8000).x);
        auto bx = [&](Who who) {
            switch (who) {
            case L: return p.left;
            case R: return p.right;
            case M: return p.mid;
            case B: return p.band;
            default: return 0;
            }
        };
        auto scr = [&](Who who) { return w->Screen(bx(who), 8000); };
        std::string before = c.before;
        if (before == "local")
            w->Feed(Report({Touch(p.left, 8000)}));
        else if (before == "peer")
            w->Feed(Report({Touch(p.right, 8000)}));
        else if (before == "both")
            w->Feed(Report({Touch(p.left, 8000), Touch(p.right, 8000)}));
        size_t mark = Mark();
        ScreenPoint peerAt = {w->m_iScreenX2, w->m_iScreenY2};
        bool localDown = before == "local" || before == "both";
        bool peerDown = before == "peer" || before == "both";

        w->Feed(Report({Contact{c.statusA, bx(c.a), 8000}, Contact{c.statusB, bx(c.b), 8000}}));

        Strings expected;
        for (const std::string& act : c.actions) {
            Who who = act.back() == 'L' ? L : act.back() == 'R' ? R : M;
            if (act.rfind("local", 0) == 0) {
                expected.push_back(Move(scr(who)));
                if (!localDown)
                    expected.push_back("press 1");
            } else if (act.rfind("peer", 0) == 0) {
                if (!peerDown)
                    expected.push_back(Point(1, scr(who)));
                expected.push_back(peerDown ? Point(1, scr(who)) : Point(0, scr(who)));
            } else if (act == "upT" && localDown) {
                expected.push_back("release 1");
            } else if (act == "upS" && peerDown) {
                expected.push_back(Point(2, peerAt));
            }
        }
        EXPECT_EQ(expected, Dual(mark));
    }
}

TEST_F(ZezDual, SplitLineDefaultsToHalfTheScreen)
{
    Probe* w = Make(g_irqModelIRQT);
    w->SetWorkMode(9, 5000);
    // 300 pixels right of the middle is the peer's side without a work area.
    int bx = w->BoardXFor(kScreenW / 2 + 300, 8000);
    w->Feed(Report({Touch(bx, 8000)}));
    ScreenPoint s = w->Screen(bx, 8000);
    EXPECT_EQ((Strings{Point(1, s), Point(0, s)}), Dual());
}

// ---------------------------------------------------------------- full

TEST_F(ZezDual, FirstContactDrivesThePointerOthersBecomeTouches)
{
    for (const IRQModel* m : {&g_irqModelZEZ, &g_irqModelIRQT, &g_irqModelIRQH, &g_irqModelIRQ16}) {
        SCOPED_TRACE(m->pName);
        size_t mark = Mark();
        Probe* w = Make(*m);
        w->SetWorkMode(8, 5000);
        const ScreenPoint a = w->Screen(6000, 6000), b = w->Screen(20000, 20000);
        // Frames with a count byte carry it; the others ignore it.
        int cb = m->records == IRQRecordSource::FrameCount ? m->nCountByte : 63;
        w->Feed(Report({Touch(6000, 6000), Touch(20000, 20000)}, cb, 2));
        w->Feed(Report({Touch(6000, 6000), Touch(20000, 20000)}, cb, 2));
        w->Feed(Report({Touch(6000, 6000), Lift()}, cb, 1));
        w->Feed(Report({Lift(), Lift()}, cb, 0));
        const ScreenPoint a2 = Sm(a, a), b2 = Sm(b, b);
        Strings expected = {Move(a),  "press 1", TouchRec(1, TOUCH_BEGIN, b), Move(a2),
                            TouchRec(1, TOUCH_MOVE, b2), Move(a2), TouchRec(1, TOUCH_END, b2),
                            "release 1", "send ssup"};
        EXPECT_EQ(expected, Dual(mark));
    }
}

TEST_F(ZezDual, PointerPassesOnWhenItsContactLifts)
{
    Probe* w = Make(g_irqModelZEZ);
    w->SetWorkMode(8, 5000);
    const ScreenPoint a = w->Screen(6000, 6000), b = w->Screen(20000, 20000);
    w->Feed(Report({Touch(6000, 6000), Touch(20000, 20000)}));
    w->Feed(Report({Lift(), Touch(20000, 20000)}));
    size_t mark = Mark();
    // The remaining contact keeps its touch slot; the pointer slot stays
    // free until a new contact comes.
    w->Feed(Report({Lift(), Touch(20000, 20000)}));
    w->Feed(Report({Touch(8000, 8000), Touch(20000, 20000)}));
    const ScreenPoint c = w->Screen(8000, 8000), b2 = Sm(b, b);
    Strings expected = {TouchRec(1, TOUCH_MOVE, b2), Move(c), "press 1", TouchRec(1, TOUCH_MOVE, b2)};
    EXPECT_EQ(expected, Dual(mark));
    (void)a;
}

// How many contact records of one report each model reads.
TEST_F(ZezDual, RecordsReadPerReport)
{
    struct Case {
        const IRQModel* model;
        int pointCount; // 0: not set
        int contacts;
    } cases[] = {
        {&g_irqModelZEZ, 0, 4},  {&g_irqModelZEZ, 4, 4},   {&g_irqModelZEZ, 6, 6},
        {&g_irqModelIRQT, 0, 6}, {&g_irqModelIRQ16, 0, 6}, {&g_irqModelIRQH, 0, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model->pName) + " " + std::to_string(c.pointCount));
        size_t mark = Mark();
        Probe* w = Make(*c.model);
        if (c.pointCount)
            w->SetPointCount(c.pointCount);
        w->SetWorkMode(8, 5000);
        std::vector<Contact> six;
        for (int k = 0; k < 6; ++k)
            six.push_back(Touch(3000 + 4500 * k, 4000 + 3000 * k));
        int cb = c.model->records == IRQRecordSource::FrameCount ? c.model->nCountByte : 63;
        w->Feed(ReportOf(six, cb, 6));
        EXPECT_EQ(1u, Events(mark, {"press"}).size());
        EXPECT_EQ((size_t)c.contacts - 1, Events(mark, {"touch"}).size());
    }
}

// A frame of more than six contacts spans several reports; it is tracked
// once, when its last report has come.
TEST_F(ZezDual, FramesOverSeveralReports)
{
    for (const IRQModel* m : {&g_irqModelIRQ16, &g_irqModelIRQH}) {
        SCOPED_TRACE(m->pName);
        size_t mark = Mark();
        Probe* w = Make(*m);
        w->SetWorkMode(8, 5000);
        std::vector<Contact> first, second;
        for (int k = 0; k < 6; ++k) {
            first.push_back(Touch(2000 + 4500 * k, 4000));
            second.push_back(Touch(2000 + 4500 * k, 20000));
        }
        w->Feed(ReportOf(first, m->nCountByte, 12));
        w->Feed(ReportOf(second, m->nCountByte, 12));
        EXPECT_EQ(Strings{}, Dual(mark));
        w->Feed(ReportOf({}, m->nCountByte, 12)); // 12 mod 6: no records
        EXPECT_EQ(1u, Events(mark, {"press"}).size());
        Strings touches = Events(mark, {"touch"});
        ASSERT_EQ(11u, touches.size());
        for (int k = 1; k <= 11; ++k)
            EXPECT_EQ(0u, touches[k - 1].rfind("touch " + std::to_string(k) + " 0 ", 0)) << touches[k - 1];

        // Eight contacts: six, then two in the second report.
        size_t eight = Mark();
        w->Feed(ReportOf(first, m->nCountByte, 8));
        EXPECT_EQ(Strings{}, Dual(eight));
        w->Feed(ReportOf(second, m->nCountByte, 8));
        EXPECT_EQ(1u, Events(eight, {"move"}).size());
        Strings moved = Events(eight, {"touch"});
        EXPECT_EQ(11u, moved.size()); // seven still there, four gone
        EXPECT_EQ(4, std::count_if(moved.begin(), moved.end(),
                                   [](const std::string& e) { return TouchState(e) == TOUCH_END; }));
    }
}

TEST_F(ZezDual, FrameWhoseCountChangesStartsOver)
{
    Probe* w = Make(g_irqModelIRQ16);
    w->SetWorkMode(8, 5000);
    std::vector<Contact> six;
    for (int k = 0; k < 6; ++k)
        six.push_back(Touch(2000 + 4500 * k, 4000));
    w->Feed(ReportOf(six, 61, 12));
    // The rest of that frame was lost; a frame of eight begins.
    w->Feed(ReportOf(six, 61, 8));
    w->Feed(ReportOf(six, 61, 8));
    EXPECT_EQ(1u, Events(0, {"press"}).size());
    EXPECT_EQ(7u, Events(0, {"touch"}).size());
}

TEST_F(ZezDual, CorruptContactCountNeverOverrunsTheTracker)
{
    Probe* w = Make(g_irqModelIRQH);
    w->SetWorkMode(8, 5000);
    std::vector<Contact> six;
    for (int k = 0; k < 6; ++k)
        six.push_back(Touch(2000 + 4500 * k, 4000 + 500 * k));
    for (int i = 0; i < 100; ++i)
        w->Feed(ReportOf(six, 62, 255));
    // Sixteen slots: the pointer and at most fifteen touches per frame.
    EXPECT_LE(Events(0, {"touch"}).size(), 2u * 15u);
    EXPECT_EQ(1u, Events(0, {"press"}).size());
}

TEST_F(ZezDual, EdgePointsInDualFullMode)
{
    for (const IRQModel* m : {&g_irqModelZEZ, &g_irqModelIRQT}) {
        SCOPED_TRACE(m->pName);
        size_t mark = Mark();
        Probe* w = Make(*m);
        w->SetWorkMode(8, 5000);
        int bx = w->BoardXFor(kScreenW, 8000);
        ASSERT_EQ(kScreenW, w->Screen(bx, 8000).x);
        w->Feed(Report({Touch(bx, 8000)}));
        EXPECT_EQ(m->bInclusiveArea ? 1u : 0u, Events(mark, {"press"}).size());
    }
}

// ---------------------------------------------------------------- sizes

TEST_F(ZezDual, ContactSizeIsReportedOncePerStroke)
{
    struct Case {
        const IRQModel* model;
        int size;
        Strings words;
    } cases[] = {
        // 8 a against VALUE1 100 and VALUE2 300.
        {&g_irqModelZEZ, 5, {"send pend"}},
        {&g_irqModelZEZ, 20, {"send moue"}},
        {&g_irqModelIRQT, 50, {"post 0", "send earh"}},
        // IRQH: pen when VALUE1 > 0.07 a, eraser when VALUE2 < 0.1 a.
        {&g_irqModelIRQH, 1000, {"send pend"}},
        {&g_irqModelIRQH, 2000, {"send moue"}},
        {&g_irqModelIRQH, 4000, {"post 0", "send earh"}},
    };
    Settings s;
    s.gesture = 1;
    s.value1 = 100;
    s.value2 = 300;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model->pName) + " " + std::to_string(c.size));
        size_t mark = Mark();
        Probe* w = Make(*c.model, s);
        w->SetWorkMode(8, 5000);
        int cb = c.model->records == IRQRecordSource::FrameCount ? c.model->nCountByte : 63;
        for (int i = 0; i < 3; ++i)
            w->Feed(Report({Touch(8000, 8000, c.size, c.size)}, cb, 1));
        w->Feed(Report({Lift()}, cb, 0));
        Strings expected = c.words;
        expected.push_back("send ssup");
        EXPECT_EQ(expected, Events(mark, {"send", "post"}));
        // A new stroke is classified again.
        w->Feed(Report({Touch(8000, 8000, c.size, c.size)}, cb, 1));
        EXPECT_EQ(c.words.back(), Events(mark, {"send"}).back());
    }
}

TEST_F(ZezDual, ContactSizeInSizeReportMode)
{
    Probe* w = Make(g_irqModelZEZ);
    w->SetWorkMode(8, 5000);
    w->SetWorkMode(6, 1);
    w->Feed(Report({Touch(8000, 8000, 30, 50)}));
    w->Feed(Report({Touch(8000, 8000, 30, 50)}));
    EXPECT_EQ(Strings{"advise 40"}, Events(0, {"advise"}));
}

// ---------------------------------------------------------------- releasing

TEST_F(ZezDual, DualContactsAreReleasedWhenTheLiftNeverComes)
{
    struct Case {
        const char* what;
        int read; // 1: worker ends
    } cases[] = {{"time-out", 0}, {"worker ends", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            size_t mark = Mark();
            Probe* w = Make(g_irqModelZEZ);
            w->SetWorkMode(8, 5000);
            const ScreenPoint a = w->Screen(6000, 6000), b = w->Screen(20000, 20000);
            w->Feed(Report({Touch(6000, 6000), Touch(20000, 20000)}));
            size_t down = Mark();
            c.read == 1 ? w->End() : w->ReadResult(c.read);
            EXPECT_EQ((Strings{"release 1", "send ssup", TouchRec(1, TOUCH_END, b)}), Dual(down));
            (void)a;
            (void)mark;
            // A new contact starts afresh.
            w->Feed(Report({Touch(6000, 6000), Lift()}));
            EXPECT_EQ("press 1", Dual(down).back());
        }
        {
            Probe* w = Make(g_irqModelZEZ);
            w->SetWorkMode(9, 5000);
            w->SetWorkMode(11, 960);
            SplitPoints p = Find(w);
            w->Feed(Report({Touch(p.left, 8000), Touch(p.right, 8000)}));
            size_t down = Mark();
            c.read == 1 ? w->End() : w->ReadResult(c.read);
            EXPECT_EQ((Strings{"release 1", Point(2, w->Screen(p.right, 8000))}), Dual(down));
        }
    }
}

TEST_F(ZezDual, LeavingDualFullModeEndsItsTouches)
{
    Probe* w = Make(g_irqModelIRQT);
    w->SetWorkMode(8, 5000);
    const ScreenPoint b = w->Screen(20000, 20000);
    w->Feed(Report({Touch(6000, 6000), Touch(20000, 20000)}));
    w->SetWorkMode(10, 0);
    size_t mark = Mark();
    w->Feed(Report({Touch(6000, 6000), Lift()}));
    Strings expected = {"release 1", "send ssup", TouchRec(1, TOUCH_END, b), Move(w->Screen(6000, 6000)),
                        "press 1"};
    EXPECT_EQ(expected, Dual(mark));
}

} // namespace
