// The XTest pointer output against a private Xvfb, checked from other X
// connections: the pointer position and button mask the server reports, and
// the exact events it processed (recorded through the RECORD extension).
#include "PointerTestUtil.h"

#include <X11/X.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <memory>

#include "Linux/MouseCtrlLinux.h"
#include "XRecorder.h"

using namespace zt;

namespace {

class PointerXTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_x = new Xvfb(1920, 1080); }
    static void TearDownTestSuite()
    {
        delete s_x;
        s_x = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(s_x->Ok());
        rec.reset(new XRecorder());
        ASSERT_TRUE(rec->Ok());
        ::testing::internal::CaptureStdout();
        mouse.reset(new CMouseCtrlLinux("ZTBoardWorkIRQ"));
        std::string out = ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(mouse->m_pDisplay) << out;
        mouse->LoadConstants();
    }
    // Everything the injector sent has been processed and recorded.
    void Settle()
    {
        XSync(mouse->m_pDisplay, False);
        ASSERT_TRUE(rec->Settle());
    }

    static Xvfb* s_x;
    ScopedPointerHost h;
    ScopedWorkDir wd{"pointerx"};
    std::unique_ptr<XRecorder> rec;
    std::unique_ptr<CMouseCtrlLinux> mouse;
};

Xvfb* PointerXTest::s_x = nullptr;

TEST_F(PointerXTest, MoveToPutsThePointerThere)
{
    const int targets[][2] = {{100, 200}, {1919, 1079}, {0, 0}, {960, 540}};
    for (const auto& t : targets) {
        mouse->MoveTo(t[0], t[1]);
        PointerState st = QueryPointer();
        ASSERT_TRUE(st.ok);
        EXPECT_EQ(t[0], st.x);
        EXPECT_EQ(t[1], st.y);
        EXPECT_EQ(0u, st.mask & (Button1Mask | Button3Mask));
    }
    Settle();
    std::vector<XRecEvent> ev = rec->Events();
    ASSERT_EQ(4u, ev.size()) << Describe(ev);
    EXPECT_EQ(MotionNotify, ev[0].type);
    EXPECT_EQ(100, ev[0].x);
    EXPECT_EQ(200, ev[0].y);
}

TEST_F(PointerXTest, LeftDownHoldsButtonOneUntilLeftUp)
{
    mouse->MoveTo(300, 400);
    mouse->LeftDown();
    PointerState st = QueryPointer();
    EXPECT_TRUE(st.mask & Button1Mask);
    EXPECT_FALSE(st.mask & Button3Mask);
    mouse->LeftUp();
    st = QueryPointer();
    EXPECT_FALSE(st.mask & Button1Mask);
    Settle();
    std::vector<XRecEvent> b = rec->Buttons();
    ASSERT_EQ(2u, b.size()) << Describe(b);
    EXPECT_EQ(ButtonPress, b[0].type);
    EXPECT_EQ(1, b[0].button);
    EXPECT_EQ(300, b[0].x);
    EXPECT_EQ(400, b[0].y);
    EXPECT_EQ(ButtonRelease, b[1].type);
    EXPECT_EQ(1, b[1].button);
}

TEST_F(PointerXTest, RightClickPressesAndReleasesButtonThree)
{
    mouse->MoveTo(50, 60);
    mouse->MouseEvent(50, 60, MOUSE_RCLICK);
    PointerState st = QueryPointer();
    EXPECT_FALSE(st.mask & (Button1Mask | Button3Mask));
    Settle();
    std::vector<XRecEvent> b = rec->Buttons();
    ASSERT_EQ(2u, b.size()) << Describe(b);
    EXPECT_EQ(ButtonPress, b[0].type);
    EXPECT_EQ(3, b[0].button);
    EXPECT_EQ(ButtonRelease, b[1].type);
    EXPECT_EQ(3, b[1].button);
    EXPECT_EQ(50, b[1].x);
}

TEST_F(PointerXTest, ContactDragsHoldsToRightClickAndReleases)
{
    // Shipped constants: LIMIT_COUNT 120, LIMIT_MOVE 3, RC1 0.4, RC2 0.6.
    mouse->MouseEvent(100, 100, MOUSE_DOWN);
    EXPECT_TRUE(QueryPointer().mask & Button1Mask);
    mouse->MouseEvent(200, 100, MOUSE_DOWN);
    PointerState st = QueryPointer();
    EXPECT_EQ(140, st.x);
    EXPECT_EQ(100, st.y);
    mouse->MouseEvent(101, 101, MOUSE_UP);
    EXPECT_FALSE(QueryPointer().mask & Button1Mask);

    mouse->MouseEvent(700, 500, MOUSE_DOWN);
    for (int i = 0; i < 121; ++i)
        mouse->MouseEvent(701, 501, MOUSE_DOWN);
    st = QueryPointer();
    EXPECT_FALSE(st.mask & (Button1Mask | Button3Mask));
    EXPECT_EQ(700, st.x);
    mouse->MouseEvent(701, 501, MOUSE_UP);
    Settle();
    std::vector<XRecEvent> b = rec->Buttons();
    // First contact: press, release. Second: press, then the right click
    // (release 1, press 3, release 3); its final release of button 1 finds
    // the button already up and the server drops it.
    const int types[] = {ButtonPress, ButtonRelease, ButtonPress, ButtonRelease, ButtonPress, ButtonRelease};
    const int buttons[] = {1, 1, 1, 1, 3, 3};
    ASSERT_EQ(6u, b.size()) << Describe(b);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(types[i], b[i].type) << i << ": " << Describe(b);
        EXPECT_EQ(buttons[i], b[i].button) << i << ": " << Describe(b);
    }
}

TEST_F(PointerXTest, CloseDisplayPrintsAndLeavesCallsHarmless)
{
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(mouse->CloseDisplay());
    EXPECT_FALSE(mouse->CloseDisplay());
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ("In CloseDisplay()\n[Server]........display closed!\nIn CloseDisplay()\n", out);
    EXPECT_EQ(nullptr, mouse->m_pDisplay);
    EXPECT_EQ(0, mouse->MoveTo(5, 5));
    EXPECT_EQ(0, mouse->LeftDown());
    // Reopens; a second open is refused without change.
    EXPECT_TRUE(mouse->OpenDisplay());
    Display* d = mouse->m_pDisplay;
    EXPECT_FALSE(mouse->OpenDisplay());
    EXPECT_EQ(d, mouse->m_pDisplay);
    mouse->MoveTo(33, 44);
    PointerState st = QueryPointer();
    EXPECT_EQ(33, st.x);
    EXPECT_EQ(44, st.y);
}

TEST(PointerNoDisplay, EveryCallIsHarmless)
{
    ScopedPointerHost h;
    ScopedWorkDir wd("nodisplay");
    std::string saved = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    setenv("DISPLAY", ":97", 1); // no server there
    ::testing::internal::CaptureStdout();
    {
        CMouseCtrlLinux m("ZTBoardWorkIRQ");
        EXPECT_EQ(nullptr, m.m_pDisplay);
        m.LoadConstants();
        EXPECT_EQ(0, m.LeftDown());
        EXPECT_EQ(0, m.RightDown());
        EXPECT_EQ(0, m.LeftUp());
        EXPECT_EQ(0, m.RightUp());
        EXPECT_EQ(0, m.LeftDownEx());
        EXPECT_EQ(0, m.MoveTo(1, 2));
        const int types[] = {MOUSE_DOWN, MOUSE_DOWN, MOUSE_RCLICK, MOUSE_CLICK, MOUSE_MOVE, MOUSE_REPRESS, MOUSE_UP};
        for (int t : types) {
            m.MouseEvent(10, 10, t);
            m.FilterMouseEvent(10, 10, t);
            m.SmoothMouseEvent(10, 10, t);
            m.DualMouseEvent(10, 10, t);
        }
        EXPECT_FALSE(m.IsPressed());
    }
    std::string out = ::testing::internal::GetCapturedStdout();
    if (saved.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_NE(std::string::npos, out.find(".....Talvora Server must be run under in X Window!\n")) << out;
    EXPECT_NE(std::string::npos, out.find("In CloseDisplay()\n")) << out;
    EXPECT_EQ(std::string::npos, out.find("display closed")) << out;
}

} // namespace
