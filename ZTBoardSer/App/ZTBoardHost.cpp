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
class CNullHost : public CZTBoardHost {
public:
    void SendConnectToSoft(bool) override {}
    void OnSend(const char*, int) override {}
    void PostAppCommand(int) override {}
    void AdviseData(const wxString&) override {}
    void ReloadConversion() override {}
    bool StartDualSock(int) override { return false; }
    void StopDualSock() override {}
    void SendDualPoint(int, int, int) override {}
    void SendDualData(int, int, int, int) override {}
    bool IsWorkRun() override { return false; }
    void StopKeyTimer() override {}
    bool IsKeyTimerRunning() override { return false; }
};
CNullHost s_nullHost;
// Installed once at start-up, before any other thread exists.
std::atomic<CZTBoardHost*> s_pHost{nullptr};
} // namespace

CZTBoardHost* ZTHost()
{
    CZTBoardHost* p = s_pHost.load();
    return p ? p : &s_nullHost;
}

void ZTSetHost(CZTBoardHost* pHost) { s_pHost.store(pHost); }
