#include "ZTBoardHost.h"

#include "Common.h"

#include <X11/Xlib.h>

std::atomic<bool> g_bSoftOnline{false};
std::atomic<bool> g_bInBoardFrm{false};

void CZTBoardHost::PrintLog(int nKind, const wxString& text, int nValue)
{
    if (nKind == 1)
        ZTPrintLine("**ZTLog**%s----->  :%d", (const char*)text.utf8_str(), nValue);
    else
        ZTPrintLine("**ZTLog**%s", (const char*)text.utf8_str());
}

void CZTBoardHost::GetScreenSize(int* pWidth, int* pHeight)
{
    *pWidth = *pHeight = 0;
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return;
    *pWidth = DisplayWidth(d, DefaultScreen(d));
    *pHeight = DisplayHeight(d, DefaultScreen(d));
    XCloseDisplay(d);
}

namespace {
CZTBoardQuietHost s_nullHost;
// Installed once at start-up, before any other thread exists.
std::atomic<CZTBoardHost*> s_pHost{nullptr};
} // namespace

CZTBoardHost* ZTHost()
{
    CZTBoardHost* p = s_pHost.load();
    return p ? p : &s_nullHost;
}

void ZTSetHost(CZTBoardHost* pHost) { s_pHost.store(pHost); }
