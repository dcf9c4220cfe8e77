#include "MouseCtrlLinux.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {
const unsigned int kLeftButton = 1;
const unsigned int kRightButton = 3;
} // namespace

CMouseCtrlLinux::CMouseCtrlLinux(const wxString& strWorkType)
    : CMouseCtrlBase(strWorkType), m_pDisplay(nullptr)
{
    OpenDisplay();
}

CMouseCtrlLinux::~CMouseCtrlLinux() { CloseDisplay(); }

bool CMouseCtrlLinux::OpenDisplay()
{
    if (m_pDisplay)
        return false;
    m_pDisplay = XOpenDisplay(nullptr);
    if (!m_pDisplay) {
        ZTPrintLine(".....Talvora Server must be run under in X Window!");
        return false;
    }
    return true;
}

bool CMouseCtrlLinux::CloseDisplay()
{
    ZTPrintLine("In CloseDisplay()");
    if (!m_pDisplay)
        return false;
    XCloseDisplay(m_pDisplay);
    m_pDisplay = nullptr;
    ZTPrintLine("[Server]........display closed!");
    return true;
}

int CMouseCtrlLinux::FakeButton(unsigned int nButton, bool bPress)
{
    if (!m_pDisplay)
        return 0;
    int r = XTestFakeButtonEvent(m_pDisplay, nButton, bPress ? True : False, 0);
    XFlush(m_pDisplay);
    return r;
}

int CMouseCtrlLinux::LeftDown() { return FakeButton(kLeftButton, true); }
int CMouseCtrlLinux::RightDown() { return FakeButton(kRightButton, true); }
int CMouseCtrlLinux::LeftUp() { return FakeButton(kLeftButton, false); }
int CMouseCtrlLinux::RightUp() { return FakeButton(kRightButton, false); }
int CMouseCtrlLinux::LeftDownEx() { return FakeButton(kLeftButton, true); }

int CMouseCtrlLinux::MoveTo(int x, int y)
{
    if (!m_pDisplay)
        return 0;
    int r = XTestFakeMotionEvent(m_pDisplay, DefaultScreen(m_pDisplay), x, y, 0);
    XFlush(m_pDisplay);
    return r;
}
