// The services of the application that workers and their components call.
// The application implements it; tests install a recording host instead.
#pragma once
#include <atomic>
#include <wx/string.h>

class CZTBoardHost {
public:
    virtual ~CZTBoardHost() {}
    virtual void SendConnectToSoft(bool bOnline) = 0;
    virtual void OnSend(const char* pData, int nLen) = 0;
    virtual void PostAppCommand(int nWhich) = 0;
    virtual void AdviseData(const wxString& s) = 0;
    virtual void ReloadConversion() = 0;
    virtual bool StartDualSock(int nPort) = 0;
    virtual void StopDualSock() = 0;
    virtual void SendDualPoint(int nAction, int x, int y) = 0;
    virtual void SendDualData(int nId, int nState, int x, int y) = 0;
    virtual bool IsWorkRun() = 0;
    virtual void StopKeyTimer() = 0;
    virtual bool IsKeyTimerRunning() = 0;
    virtual void PrintLog(int nKind, const wxString& text, int nValue);
    // Size of the screen in pixels. Safe on any thread: the toolkit may only
    // be asked on the main thread, so the application answers from a value it
    // read there; without an application the X server is asked directly.
    virtual void GetScreenSize(int* pWidth, int* pHeight);
};

// A host that does nothing: what components meet when they run without the
// application, and the base of hosts that handle only what they care about.
class CZTBoardQuietHost : public CZTBoardHost {
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

// The current host; a host that does nothing when none is installed, so that
// components never need to test for null.
CZTBoardHost* ZTHost();
void ZTSetHost(CZTBoardHost* pHost);

// Set from the whiteboard software's messages on the main thread and read by
// the workers: atomics, because the reader is another thread.
extern std::atomic<bool> g_bSoftOnline;
extern std::atomic<bool> g_bInBoardFrm;
