// The hot-plug watcher: finds known boards and hands them to the application.
#pragma once
#include <wx/thread.h>
#include <memory>
#include <vector>
#include "Common.h"

class CZTBoardNotifyBase : public wxThread {
public:
    CZTBoardNotifyBase();
    ~CZTBoardNotifyBase() override;

    void AddKnownDevice(uint32_t vendor, uint32_t product, uint32_t nDevType,
                        uint32_t nBoardType, uint32_t nBaudRate);
    bool RegisterDevices();

    virtual bool OpenDevice(DeviceInfo* pInfo);
    virtual bool CloseDevice(DeviceInfo* pInfo);
    virtual void Enumerate(const char* subsystem) {}

    // Posted by the destructor, so that the application knows when the
    // detached thread has finished with everything it touches.
    void SetExitSignal(std::shared_ptr<wxSemaphore> sig) { m_exitSignal = std::move(sig); }

    int m_nKnownCount;
    std::vector<DeviceInfo> m_arrKnown;
    bool m_brun;
    wxMutex* m_pMutex;

private:
    std::shared_ptr<wxSemaphore> m_exitSignal;
};
