// The application object: owns everything that lives for the whole process.
#pragma once
#include <wx/app.h>
#include <wx/snglinst.h>
#include <wx/timer.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "App/ZTBoardHost.h"
#include "Common.h"

class wxLocale;
class wxSocketEvent;
class CZTBoardDriverIPC;
class CZTBoardNotifyLinux;
class CZTBoardWorkBase;
class CZTBoardIPCSock;
class CZTBoardDualSock;
class CDeviceBase;

enum {
    ID_SOCKET_SOFT = 2000,
    ID_CMD_START_SOFTWARE = 6001,
    ID_CMD_RUN_ORIENT = 6002,
    ID_TIMER_RELEASE = 6004,
    ID_TIMER_KEY = 6005,
    ID_CMD_ARM_RELEASE = 6007,
    ID_CMD_ARM_KEY = 6008,
    ID_CMD_RUN_NOTTOUCH = 6010,
};

class CZTBoardApp : public wxApp, public CZTBoardHost {
public:
    CZTBoardApp();
    ~CZTBoardApp() override;

    bool OnInit() override;
    int OnExit() override;

    // Called by the hot-plug watcher.
    bool CreateWorkThread(int nBoardType, CDeviceBase* pDev);
    // The second half of CreateWorkThread for a worker already constructed
    // (by the factory, or by a test with a worker of its own).
    bool StartWorker(CZTBoardWorkBase* pWorker, int nBoardType, CDeviceBase* pDev);
    bool DestoryWorkThread(const DeviceInfo* pInfo);
    void SetPointCount(int n);
    // Called by the driver IPC server.
    void CloseCurrentDevice(const DeviceInfo* pInfo);
    void RescanVideo();

    bool ConnectIPCSocket();

    // Services for workers and components (any thread).
    void SendConnectToSoft(bool bOnline) override;
    void OnSend(const char* pData, int nLen) override;
    void PostAppCommand(int nWhich) override;
    void AdviseData(const wxString& s) override;
    void ReloadConversion() override;
    bool StartDualSock(int nPort) override;
    void StopDualSock() override;
    void SendDualPoint(int nAction, int x, int y) override;
    void SendDualData(int nId, int nState, int x, int y) override;
    bool IsWorkRun() override { return m_bWorkRun; }
    void StopKeyTimer() override;
    bool IsKeyTimerRunning() override;

    // Runs fn with the current worker, if any, so that the worker cannot be
    // stopped and freed meanwhile; fn must not wait for the worker thread.
    void WithWorker(const std::function<void(CZTBoardWorkBase*)>& fn);

    static int FindProcess(const char* name, bool bCaseSensitive);
    static wxString WorkDir();

    CZTBoardDriverIPC* GetIPCServer() const { return m_pIPCServer; }
    CZTBoardIPCSock* GetIPCSocket() const { return m_pIPCSocket; }

private:
    bool SetProgramLanguage(int nLanguage);
    bool StartIPCServer();
    bool StartDeviceNotify();
    void InstallLog();
    void StopWorker(CZTBoardWorkBase* pWorker, std::shared_ptr<wxSemaphore> exited);
    // Runs fn on the main thread: at once when called there, otherwise queued
    // behind everything queued before it. The companion sockets belong to the
    // main thread; other threads reach them only through this.
    void RunOnMain(std::function<void()> fn);
    void SendConnectOnMain(bool bOnline, bool bWorkRun, int nBoardType);
    void OpenCompanionSocket();
    void QueueDualRecord(std::function<void(CZTBoardDualSock*)> fn);
    void FlushDualRecords();
    void DeleteCompanionSocket();

    void OnSocketEvent(wxSocketEvent& event);
    void OnStartSoftware(wxCommandEvent& event);
    void OnRunOrient(wxCommandEvent& event);
    void OnRunNotTouch(wxCommandEvent& event);
    void OnArmRelease(wxCommandEvent& event);
    void OnArmKey(wxCommandEvent& event);
    void OnTimerRelease(wxTimerEvent& event);
    void OnTimerKey(wxTimerEvent& event);

public:
    wxTimer m_timerRelease;
    wxTimer m_timerKey;
    CZTBoardDriverIPC* m_pIPCServer;
    CZTBoardNotifyLinux* m_pNotify;
    // Written by the watcher thread, read by the main thread's handlers: an
    // atomic, and every call into the worker holds m_workLock.
    std::atomic<CZTBoardWorkBase*> m_pWorkThread;
    // Main thread only (other threads go through RunOnMain); atomic because
    // SendConnectToSoft prints it from any thread.
    std::atomic<CZTBoardIPCSock*> m_pIPCSocket;
    CZTBoardDualSock* m_pDualSock;
    std::atomic<bool> m_bWorkRun;
    wxLocale* m_pLocale;
    wxSingleInstanceChecker m_checker;

private:
    wxMutex m_workLock;
    std::shared_ptr<wxSemaphore> m_workExited;
    std::shared_ptr<wxSemaphore> m_notifyExited;
    std::atomic<int> m_nWorkBoardType;
    std::atomic<bool> m_bExiting;
    std::mutex m_dualLock;
    // Records of the dual-screen link made on the worker thread, waiting for
    // the main thread; guarded by m_dualLock.
    std::vector<std::function<void(CZTBoardDualSock*)>> m_dualPending;
    int m_nSocketTimes;
    int m_nScreenW, m_nScreenH;

    wxDECLARE_EVENT_TABLE();
};

wxDECLARE_APP(CZTBoardApp);
