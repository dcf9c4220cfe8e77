// The multi-touch frame workers in common mode: pointer output, held-back
// samples and stroke classification, size reports, pen-tray and side keys,
// commands and settings, start commands, and the release of a contact whose
// lift report never came.
#include <gtest/gtest.h>

#include <unistd.h>

#include "Pointer/OrientProcess.h"
#include "Pointer/SidekeyProcess.h"
#include "Work/ZEZ/ZTBoardWorkIRQ16.h"
#include "Work/ZEZ/ZTBoardWorkIRQH.h"
#include "Work/ZEZ/ZTBoardWorkIRQT.h"
#include "ZezHarness.h"

using namespace zez;
using Strings = std::vector<std::string>;

// How test names show a model.
void PrintTo(const IRQModel* m, std::ostream* os) { *os << m->pName; }

namespace {

const IRQModel* const kAllModels[] = {&g_irqModelZEZ, &g_irqModelIRQT, &g_irqModelIRQH,
                                      &g_irqModelIRQ16};

std::string ModelName(const ::testing::TestParamInfo<const IRQModel*>& info)
{
    return info.param->pName;
}

class EveryModel : public ZezTest, public ::testing::WithParamInterface<const IRQModel*> {};

// ---------------------------------------------------------------- pointer

TEST_P(EveryModel, FingerLandsDragsAndLifts)
{
    Probe* w = Make(*GetParam());
    w->Feed(Report({Touch(8000, 8000)}));
    w->Feed(Report({Touch(9000, 8500)}));
    w->Feed(Report({Touch(10000, 9000)}));
    w->Feed(Report({Lift(10000, 9000)}));
    Strings expected = {Move(w->Screen(8000, 8000)), "press 1", Move(w->Screen(9000, 8500)),
                        Move(w->Screen(10000, 9000)), "release 1"};
    EXPECT_EQ(expected, PointerEvents());
    EXPECT_EQ(Strings{}, Events(0, {"send", "post", "advise", "point", "touch"}));
}

TEST_P(EveryModel, HoldingStillRightClicksOnce)
{
    Settings s;
    s.limitCount = 5;
    Probe* w = Make(*GetParam(), s);
    for (int i = 0; i < 20; ++i)
        w->Feed(Report({Touch(12000, 12000)}));
    w->Feed(Report({Lift(12000, 12000)}));
    Strings expected = {"press 1", "release 1", "press 3", "release 3", "release 1"};
    EXPECT_EQ(expected, Events(0, {"press", "release"}));
}

TEST_P(EveryModel, StartCommandIsSentByTheReadLoop)
{
    const IRQModel& m = *GetParam();
    auto* w = new Probe(m, m_log);
    auto* board = new ScriptedBoard(m_log);
    auto exited = std::make_shared<wxSemaphore>(0, 1);
    w->SetExitSignal(exited);
    ASSERT_EQ(wxTHREAD_NO_ERROR, w->Create());
    ASSERT_TRUE(w->InitWork(board));
    ASSERT_EQ(wxTHREAD_NO_ERROR, w->Run());
    ASSERT_TRUE(board->WaitIdle(5000));
    w->Delete();
    board->Release();
    ASSERT_EQ(wxSEMA_NO_ERROR, exited->WaitTimeout(5000));

    char head[16];
    snprintf(head, sizeof head, "%02X%02X%02X%02X", m.start[0], m.start[1], m.start[2], m.start[3]);
    std::string expected = (m.bStartAsFeature ? "feature " : "write ") + std::string(head) +
                           std::string(2 * 60, '0');
    EXPECT_EQ(Strings{expected}, Events(0, {"write", "feature"}));
}

INSTANTIATE_TEST_SUITE_P(Zez, EveryModel, ::testing::ValuesIn(kAllModels), ModelName);

// Two contacts in common mode: the ZEZ frame follows the first, the others
// their midpoint; a second contact in an odd state releases the others.
TEST_F(ZezTest, TwoContactsInCommonMode)
{
    struct Case {
        const IRQModel* model;
        int status1;
        bool midpoint;
        bool pressed;
    } cases[] = {
        {&g_irqModelZEZ, 7, false, true},   {&g_irqModelIRQT, 7, true, true},
        {&g_irqModelIRQH, 7, true, true},   {&g_irqModelIRQ16, 7, true, true},
        {&g_irqModelZEZ, 4, false, true},   {&g_irqModelIRQT, 4, false, false},
        {&g_irqModelIRQH, 4, false, false}, {&g_irqModelIRQ16, 4, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model->pName) + " status " + std::to_string(c.status1));
        size_t mark = Mark();
        Probe* w = Make(*c.model);
        w->Feed(Report({Touch(8000, 8000), Contact{c.status1, 16000, 12000}}));
        Strings expected;
        if (c.pressed)
            expected = {Move(c.midpoint ? w->Screen(12000, 10000) : w->Screen(8000, 8000)), "press 1"};
        EXPECT_EQ(expected, PointerEvents(mark));
    }
}

// The ZEZ frame ignores points that convert onto or beyond the screen edge;
// the others pass them on.
TEST_F(ZezTest, PointsOnTheScreenEdge)
{
    for (const IRQModel* m : kAllModels) {
        SCOPED_TRACE(m->pName);
        size_t mark = Mark();
        Probe* w = Make(*m);
        int bx = w->BoardXFor(kScreenW, 8000);
        ASSERT_EQ(kScreenW, w->Screen(bx, 8000).x);
        w->Feed(Report({Touch(bx, 8000)}));
        Strings expected;
        if (!m->bPressBounds)
            expected = {Move(w->Screen(bx, 8000)), "press 1"};
        EXPECT_EQ(expected, PointerEvents(mark));
    }
}

// ---------------------------------------------------------------- classification

struct StrokeCase {
    const IRQModel* model;
    bool online;
    Contact c0, c1;
    Strings words;
};

TEST_F(ZezTest, StrokesAreClassifiedOnTheThirdSampleAfterTwoHeldBack)
{
    // VALUE1 100, VALUE2 300. ZEZ: v = 10 s; IRQT, IRQ16: v = 8 s; IRQH:
    // v = s / 10; pen below VALUE1, mouse up to VALUE2, eraser above.
    const Contact none{0, 0, 0, 0, 0};
    const StrokeCase cases[] = {
        {&g_irqModelZEZ, true, Touch(8000, 8000, 5, 5), none, {"send pend"}},
        {&g_irqModelZEZ, true, Touch(8000, 8000, 20, 20), none, {"send moue"}},
        {&g_irqModelZEZ, true, Touch(8000, 8000, 40, 40), none, {"send earh"}},
        {&g_irqModelZEZ, false, Touch(8000, 8000, 5, 5), none, {}},
        {&g_irqModelZEZ, false, Touch(8000, 8000, 20, 20), none, {}},
        {&g_irqModelZEZ, false, Touch(8000, 8000, 40, 40), none, {"post 0"}},
        {&g_irqModelIRQT, false, Touch(8000, 8000, 5, 5), none, {"send pend"}},
        {&g_irqModelIRQT, false, Touch(8000, 8000, 20, 20), none, {"send moue"}},
        {&g_irqModelIRQT, true, Touch(8000, 8000, 50, 50), none, {"post 0", "send earh"}},
        {&g_irqModelIRQ16, false, Touch(8000, 8000, 50, 50), none, {"post 0", "send earh"}},
        {&g_irqModelIRQH, false, Touch(8000, 8000, 500, 500), none, {"send pend"}},
        {&g_irqModelIRQH, false, Touch(8000, 8000, 2000, 2000), none, {"send moue"}},
        {&g_irqModelIRQH, false, Touch(8000, 8000, 4000, 4000), none, {"post 0", "send earh"}},
        // Two contacts: the others add the second record's size.
        {&g_irqModelIRQT, false, Touch(8000, 8000, 10, 10), Touch(8000, 8000, 40, 40),
         {"post 0", "send earh"}},
        {&g_irqModelZEZ, true, Touch(8000, 8000, 10, 10), Touch(8000, 8000, 40, 40), {"send moue"}},
    };
    Settings s;
    s.gesture = 1;
    s.value1 = 100;
    s.value2 = 300;
    for (const StrokeCase& c : cases) {
        SCOPED_TRACE(std::string(c.model->pName) + (c.online ? " online" : " offline") + " size " +
                     std::to_string(c.c0.w));
        g_bSoftOnline = c.online;
        size_t mark = Mark();
        Probe* w = Make(*c.model, s);
        for (int i = 0; i < 3; ++i) {
            Contact a = c.c0, b = c.c1;
            a.x += 100 * i;
            b.x += 100 * i;
            w->Feed(Report({a, b}));
            if (i < 2) {
                EXPECT_EQ(Strings{}, Events(mark)) << "sample " << i;
            }
        }
        Strings expected = c.words;
        for (int i = 0; i < 3; ++i) {
            expected.push_back(Move(w->Screen(8000 + 100 * i, 8000)));
            if (i == 0)
                expected.push_back("press 1");
        }
        EXPECT_EQ(expected, Events(mark));

        // The fourth sample drags at once; the next stroke is classified again.
        w->Feed(Report({Touch(9000, 8000)}));
        EXPECT_EQ(Move(w->Screen(9000, 8000)), Events().back());
        w->Feed(Report({Lift()}));
        size_t again = Mark();
        for (int i = 0; i < 3; ++i)
            w->Feed(Report({c.c0, c.c1}));
        EXPECT_EQ(c.words, Events(again, {"send", "post"}));
    }
}

TEST_F(ZezTest, SizeReportModeAdvisesTheStrokeSize)
{
    struct Case {
        const IRQModel* model;
        Contact c0;
        const char* advised;
    } cases[] = {
        {&g_irqModelZEZ, Touch(8000, 8000, 30, 50), "advise 40"},
        {&g_irqModelIRQT, Touch(8000, 8000, 30, 50), "advise 40"},
        {&g_irqModelIRQ16, Touch(8000, 8000, 30, 50), "advise 40"},
        // A tenth of the size, then a fifth of that.
        {&g_irqModelIRQH, Touch(8000, 8000, 3000, 5000), "advise 80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model->pName);
        size_t mark = Mark();
        Probe* w = Make(*c.model);
        EXPECT_TRUE(w->SetWorkMode(6, 1));
        for (int i = 0; i < 4; ++i)
            w->Feed(Report({c.c0}));
        EXPECT_EQ(Strings{c.advised}, Events(mark, {"advise", "send", "post"}));
        // The third sample presses at the two held points and moves on; the
        // fourth drags.
        EXPECT_EQ(5u, PointerEvents(mark).size());
        EXPECT_TRUE(w->SetWorkMode(6, 0));
        EXPECT_FALSE(w->SetWorkMode(6, 0)); // already off
        EXPECT_FALSE(w->SetWorkMode(6, 2));
    }
}

// ---------------------------------------------------------------- keys

TEST_F(ZezTest, PenTrayKeys)
{
    struct Case {
        int code;
        int keyPen;
        const char* word;
    } cases[] = {{0x0A, 0, "send bpen"}, {0x0B, 0, "send rpen"}, {0x0C, 0, "send gpen"},
                 {0x0D, 0, "send lpen"}, {0x0D, 1, "send eare"}};
    for (const IRQModel* m : kAllModels) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(m->pName) + " code " + std::to_string(c.code));
            Settings s;
            s.keyPen = c.keyPen;
            size_t mark = Mark();
            Probe* w = Make(*m, s);
            w->Feed(Report({Contact{c.code, 8000, 8000}}));
            // The ZEZ frame has no pen tray: such a report is a lift.
            Strings expected;
            if (m->bPenTray)
                expected = {c.word};
            EXPECT_EQ(expected, Events(mark, {"send", "move", "press", "release"}));
        }
    }
}

TEST_F(ZezTest, SideKeysLatchAndNeverReachThePointer)
{
    Settings s;
    s.sideKeys = true;
    Probe* w = Make(g_irqModelZEZ, s);
    const int kx = SideKeyX(3), ky = SideKeyY(3);
    w->Feed(Report({Touch(kx, ky)}));
    w->Feed(Report({Touch(kx, ky)}));
    EXPECT_EQ(Strings{"post 3"}, Events(0, {"post"})); // one key press, armed once
    EXPECT_EQ(1, w->m_bKeyDown1);
    w->Feed(Report({Lift(kx, ky)}));
    EXPECT_EQ(0, w->m_bKeyDown1);
    EXPECT_EQ(Strings{}, PointerEvents());
    w->Feed(Report({Touch(kx, ky)}));
    EXPECT_EQ(2u, Events(0, {"post"}).size());

    // Split mode: the second strip has a latch of its own.
    w->Feed(Report({Lift(kx, ky)}));
    w->SetWorkMode(9, 5000);
    w->Feed(Report({Touch(SideKeyX(16), SideKeyY(16))}));
    EXPECT_EQ(1, w->m_bKeyDown2);
    EXPECT_EQ(0, w->m_bKeyDown1);
    EXPECT_EQ(2, w->m_pSidekey->m_nKeyType.load());
    EXPECT_EQ(Strings{}, PointerEvents());
}

// ---------------------------------------------------------------- commands

TEST_F(ZezTest, WorkModeCommands)
{
    Probe* w = Make(g_irqModelZEZ);
    EXPECT_TRUE(w->SetWorkMode(8, 5000));
    EXPECT_TRUE(w->m_bDualFull);
    EXPECT_TRUE(w->SetWorkMode(9, 5001));
    EXPECT_TRUE(w->m_bDualSplit);
    EXPECT_TRUE(w->SetWorkMode(10, 0));
    EXPECT_FALSE(w->m_bDualFull);
    EXPECT_FALSE(w->m_bDualSplit);
    EXPECT_EQ((Strings{"dualsock 5000", "dualsock 5001", "stopdual"}), Events(0, {"dualsock", "stopdual"}));

    EXPECT_TRUE(w->SetWorkMode(11, 700));
    EXPECT_EQ(700, w->m_iMid.load());
    for (int cmd : {4, 7, 12, 13, 14, 99})
        EXPECT_FALSE(w->SetWorkMode(cmd, 0)) << cmd;
    EXPECT_TRUE(w->SetWorkMode(0, 0));

    // 3 re-reads the pen-tray setting, 5 the driver settings.
    Settings s;
    s.keyPen = 1;
    s.value1 = 55;
    s.value2 = 66;
    s.gesture = 1;
    Configure(s);
    EXPECT_EQ(0, w->bKeyPen.load());
    EXPECT_TRUE(w->SetWorkMode(3, 0));
    EXPECT_EQ(1, w->bKeyPen.load());
    EXPECT_TRUE(w->SetWorkMode(5, 0));
    EXPECT_EQ(55, w->m_iValue1.load());
    EXPECT_EQ(66, w->m_iValue2.load());
    EXPECT_EQ(1, w->m_bGesture.load());
}

TEST_F(ZezTest, DriverSettingsWithoutAConfigurationFile)
{
    ASSERT_EQ(0, unlink(m_dir->ConfigPath().c_str()));
    struct Case {
        const IRQModel* model;
        int v1, v2;
    } cases[] = {{&g_irqModelZEZ, 31, 93}, {&g_irqModelIRQT, 0, 0}};
    for (const Case& c : cases) {
        Probe w(*c.model, m_log);
        w.m_iValue1 = -1;
        EXPECT_TRUE(w.ReadDriverSet());
        EXPECT_EQ(c.v1, w.m_iValue1.load()) << c.model->pName;
        EXPECT_EQ(c.v2, w.m_iValue2.load()) << c.model->pName;
        EXPECT_EQ(0, w.m_bGesture.load()) << c.model->pName;
    }
}

TEST_F(ZezTest, DriverSettingsAreLoggedInEachModelsWords)
{
    Settings s;
    s.value1 = 11;
    s.value2 = 22;
    s.gesture = 1;
    Configure(s);
    struct Case {
        const IRQModel* model;
        const char* line; // empty: none
    } cases[] = {
        {&g_irqModelZEZ, "**Quenlo**VALUE1>>11 VALUE2>>22 m_bGesture>>1\n"},
        {&g_irqModelIRQT, "VALUE1=11 VALUE2=22 m_bGesture=1\n"},
        {&g_irqModelIRQH, "VALUE1=11 VALUE2=22 m_bGesture=1\n"},
        {&g_irqModelIRQ16, ""},
    };
    for (const Case& c : cases) {
        Probe w(*c.model, m_log);
        ::testing::internal::CaptureStdout();
        w.ReadDriverSet();
        EXPECT_EQ(c.line, ::testing::internal::GetCapturedStdout()) << c.model->pName;
        EXPECT_EQ(11, w.m_iValue1.load());
    }
}

TEST_F(ZezTest, FactoryMakesEachModel)
{
    for (const IRQModel* m : kAllModels) {
        CZTBoardWorkBase* base = CZTBoardWorkBase::CreateWorkThread(m->nBoardType);
        auto* w = dynamic_cast<CZTBoardWorkIRQ*>(base);
        ASSERT_NE(nullptr, w) << m->nBoardType;
        EXPECT_EQ(m, &w->Model());
        EXPECT_EQ("ZTBoardWorkIRQ", w->m_strWorkType);
        EXPECT_EQ(64, w->m_iDataLen);
        delete base;
    }
    EXPECT_NE(nullptr, dynamic_cast<CZTBoardWorkIRQT*>(CZTBoardWorkBase::CreateWorkThread(13)));
}

TEST_F(ZezTest, PointCountIsKeptWithinAReport)
{
    Probe* w = Make(g_irqModelZEZ);
    EXPECT_EQ(4, w->m_iPointCount.load());
    w->SetPointCount(6);
    EXPECT_EQ(6, w->m_iPointCount.load());
    w->SetPointCount(40);
    EXPECT_EQ(6, w->m_iPointCount.load());
    w->SetPointCount(-3);
    EXPECT_EQ(1, w->m_iPointCount.load());
}

// A finished calibration run moves the pointer to the last target and goes
// back to normal operation; no calibration sample reaches the pointer.
TEST_F(ZezTest, CalibrationRunEndsInNormalOperation)
{
    auto* w = new Probe(g_irqModelIRQT, m_log);
    auto* board = new ScriptedBoard(m_log);
    auto exited = std::make_shared<wxSemaphore>(0, 1);
    w->SetExitSignal(exited);
    ASSERT_EQ(wxTHREAD_NO_ERROR, w->Create());
    ASSERT_TRUE(w->InitWork(board));
    // Where the target lands by the grid in force before the run.
    const std::string target = Move(w->Screen(5000, 6000));
    EXPECT_TRUE(w->SetWorkMode(1, 1));
    for (int i = 0; i < 40; ++i)
        board->Queue({64, Report({Touch(5000, 6000)})});
    ASSERT_EQ(wxTHREAD_NO_ERROR, w->Run());
    // The run waits three seconds after its last sample.
    ASSERT_TRUE(board->WaitIdle(10000));
    EXPECT_EQ(0, w->m_state.load());
    w->Delete();
    board->Release();
    ASSERT_EQ(wxSEMA_NO_ERROR, exited->WaitTimeout(5000));
    // Samples after the run are ordinary touches again.
    ASSERT_FALSE(PointerEvents().empty());
    EXPECT_EQ(target, PointerEvents().front());
    EXPECT_EQ(Strings{"advise fin"}, Events(0, {"advise"}));
}

// ---------------------------------------------------------------- releasing

// A contact still down when its lift report never comes is released: after
// a read that timed out or when the worker ends (a failed read: below, in the
// real read loop).
TEST_F(ZezTest, ContactIsReleasedWhenTheLiftNeverComes)
{
    struct Case {
        const char* what;
        int read; // 1: worker ends
    } cases[] = {{"time-out", 0}, {"worker ends", 1}};
    for (const IRQModel* m : kAllModels) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(m->pName) + " " + c.what);
            size_t mark = Mark();
            Probe* w = Make(*m);
            w->Feed(Report({Touch(8000, 8000)}));
            w->Feed(Report({Touch(8300, 8000)}));
            if (c.read == 1)
                w->End();
            else
                w->ReadResult(c.read);
            Strings expected = {Move(w->Screen(8000, 8000)), "press 1", Move(w->Screen(8300, 8000)),
                                "release 1"};
            EXPECT_EQ(expected, PointerEvents(mark));
            // Nothing is down any more: a further silence does nothing, and
            // the next touch presses again.
            w->ReadResult(0);
            w->Feed(Report({Touch(8000, 8000)}));
            EXPECT_EQ("press 1", PointerEvents(mark).back());
        }
    }
}

TEST_F(ZezTest, HeldBackSamplesAreForgottenWhenTheLiftNeverComes)
{
    Settings s;
    s.gesture = 1;
    s.value1 = 100;
    s.value2 = 300;
    g_bSoftOnline = true;
    Probe* w = Make(g_irqModelZEZ, s);
    w->Feed(Report({Touch(8000, 8000, 5, 5)}));
    w->Feed(Report({Touch(8000, 8000, 5, 5)}));
    w->ReadResult(0);
    EXPECT_EQ(Strings{}, Events());
    for (int i = 0; i < 3; ++i)
        w->Feed(Report({Touch(9000, 8000, 40, 40)}));
    Strings expected = {"send earh", Move(w->Screen(9000, 8000)), "press 1",
                        Move(w->Screen(9000, 8000)), Move(w->Screen(9000, 8000))};
    EXPECT_EQ(expected, Events());
}

TEST_F(ZezTest, EnteringCalibrationReleasesThePointer)
{
    Probe* w = Make(g_irqModelZEZ);
    w->Feed(Report({Touch(8000, 8000)}));
    EXPECT_TRUE(w->SetWorkMode(1, 4));
    w->Feed(Report({Touch(8000, 8000)}));
    Strings expected = {Move(w->Screen(8000, 8000)), "press 1", "release 1"};
    EXPECT_EQ(expected, PointerEvents());
}

// The real read loop over a board that is pulled while touched: the button
// comes up, and the loop waits between failed reads instead of spinning.
TEST_F(ZezTest, UnpluggedBoardReleasesAndDoesNotSpin)
{
    Configure(Settings());
    auto* w = new Probe(g_irqModelIRQ16, m_log);
    auto* board = new ScriptedBoard(m_log);
    auto exited = std::make_shared<wxSemaphore>(0, 1);
    w->SetExitSignal(exited);
    ASSERT_EQ(wxTHREAD_NO_ERROR, w->Create());
    ASSERT_TRUE(w->InitWork(board));
    board->Queue({64, Report({Touch(8000, 8000)})});
    ASSERT_EQ(wxTHREAD_NO_ERROR, w->Run());
    ASSERT_TRUE(board->WaitIdle(5000));
    int before = board->Reads();
    board->FailReads();
    zt::SleepMs(700);
    int reads = board->Reads() - before;
    w->Delete();
    board->Release();
    ASSERT_EQ(wxSEMA_NO_ERROR, exited->WaitTimeout(5000));
    EXPECT_LE(reads, 3);
    EXPECT_EQ((Strings{"press 1", "release 1"}), Events(0, {"press", "release"}));
}

TEST_F(ZezTest, EndingWorkerReleasesTheContact)
{
    auto* w = new Probe(g_irqModelZEZ, m_log);
    auto* board = new ScriptedBoard(m_log);
    auto exited = std::make_shared<wxSemaphore>(0, 1);
    w->SetExitSignal(exited);
    ASSERT_EQ(wxTHREAD_NO_ERROR, w->Create());
    ASSERT_TRUE(w->InitWork(board));
    board->Queue({64, Report({Touch(8000, 8000)})});
    board->Queue({64, Report({Touch(8200, 8000)})});
    ASSERT_EQ(wxTHREAD_NO_ERROR, w->Run());
    ASSERT_TRUE(board->WaitIdle(5000));
    EXPECT_EQ(Strings{"press 1"}, Events(0, {"press", "release"}));
    w->Delete();
    board->Release(); // a short read: the loop sees the request and ends
    ASSERT_EQ(wxSEMA_NO_ERROR, exited->WaitTimeout(5000));
    EXPECT_EQ((Strings{"press 1", "release 1"}), Events(0, {"press", "release"}));
}

} // namespace
