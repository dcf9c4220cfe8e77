#include "MouseCtrlLinux.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

CMouseCtrlLinux::CMouseCtrlLinux(const wxString& strWorkType) : CMouseCtrlBase(strWorkType)
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

static int Button(Display* d, unsigned b, bool down)
{
    if (!d)
        return 0;
    int r = XTestFakeButtonEvent(d, b, down, CurrentTime);
    XFlush(d);
    return r;
}

int CMouseCtrlLinux::LeftDown() { return Button(m_pDisplay, 1, true); }
int CMouseCtrlLinux::RightDown() { return Button(m_pDisplay, 3, true); }
int CMouseCtrlLinux::LeftUp() { return Button(m_pDisplay, 1, false); }
int CMouseCtrlLinux::RightUp() { return Button(m_pDisplay, 3, false); }
int CMouseCtrlLinux::LeftDownEx() { return Button(m_pDisplay, 1, true); }

int CMouseCtrlLinux::MoveTo(int x, int y)
{
    if (!m_pDisplay)
        return 0;
    int r = XTestFakeMotionEvent(m_pDisplay, -1, x, y, CurrentTime);
    XFlush(m_pDisplay);
    return r;
}
