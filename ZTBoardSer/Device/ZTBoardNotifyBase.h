// The hot-plug watcher: finds known boards and hands them to the application.
#pragma once
#include <wx/thread.h>

#include <atomic>
#include <memory>
#include <vector>

#include "Common.h"

class CDeviceBase;

class CZTBoardNotifyBase : public wxThread {
public:
    CZTBoardNotifyBase();
    ~CZTBoardNotifyBase() override;

    void AddKnownDevice(uint32_t vendor, uint32_t product, uint32_t nDevType,
                        uint32_t nBoardType, uint32_t nBaudRate);
    bool RegisterDevices();
    // The first table entry with these ids, or null.
    const DeviceInfo* FindKnown(uint32_t vendor, uint32_t product) const;

    // Creates, opens, initialises and identifies the device and has the
    // application start a worker for it; true while a board is in use.
    virtual bool OpenDevice(DeviceInfo* pInfo);
    // Has the application stop the worker whose device has pInfo's path.
    virtual bool CloseDevice(DeviceInfo* pInfo);
    // Looks at the present devices of one subsystem until one is handled;
    // true when one was.
    virtual bool Enumerate(const char* subsystem) { return false; }

    // Posted by the destructor, so that the application knows when the
    // detached thread has finished with everything it touches.
    void SetExitSignal(std::shared_ptr<wxSemaphore> sig) { m_exitSignal = std::move(sig); }

    int m_nKnownCount;
    std::vector<DeviceInfo> m_arrKnown;
    // Written under m_pMutex by whichever thread opens or closes; read
    // without it by the watcher thread to decide whether to look at a new
    // device at all, hence atomic.
    std::atomic<bool> m_brun;
    wxMutex* m_pMutex;

protected:
    // The application's side of the hand-over. A test overrides these to
    // record the calls instead of starting real workers.
    virtual bool AppCreateWorkThread(int nBoardType, CDeviceBase* pDev);
    virtual bool AppDestoryWorkThread(const DeviceInfo* pInfo);
    virtual void AppSetPointCount(int n);

    // Pause between creating a device and opening it: the board's nodes
    // appear after its interface is announced.
    static constexpr int kOpenPauseMs = 500;

private:
    std::shared_ptr<wxSemaphore> m_exitSignal;
};
