#include "ZTBoardNotifyBase.h"
#include "ThreadEnd.h"

#include <wx/utils.h>

#include "App/ZTBoardApp.h"
#include "Device/DeviceBase.h"

CZTBoardNotifyBase::CZTBoardNotifyBase()
    : wxThread(wxTHREAD_DETACHED), m_nKnownCount(0), m_brun(false), m_pMutex(new wxMutex)
{
}

CZTBoardNotifyBase::~CZTBoardNotifyBase()
{
    delete m_pMutex;
    ZTPostThreadEnd(m_exitSignal);
}

void CZTBoardNotifyBase::AddKnownDevice(uint32_t vendor, uint32_t product, uint32_t nDevType,
                                        uint32_t nBoardType, uint32_t nBaudRate)
{
    DeviceInfo info;
    info.nVendorID = vendor;
    info.nProductID = product;
    info.nDevType = nDevType;
    info.nBoardType = nBoardType;
    info.nBaudRate = nBaudRate;
    m_arrKnown.push_back(info);
    m_nKnownCount = (int)m_arrKnown.size();
}

bool CZTBoardNotifyBase::RegisterDevices()
{
    AddKnownDevice(0x1314, 0x1104, DEVTYPE_HID, 12, 0);
    AddKnownDevice(0x1314, 0x1106, DEVTYPE_HID, 12, 0);
    AddKnownDevice(0x1314, 0x110A, DEVTYPE_HID, 14, 0);
    AddKnownDevice(0x1314, 0x1116, DEVTYPE_HID, 15, 0);
    AddKnownDevice(0x1314, 0x1136, DEVTYPE_HID, 13, 0);
    return true;
}

const DeviceInfo* CZTBoardNotifyBase::FindKnown(uint32_t vendor, uint32_t product) const
{
    for (const DeviceInfo& d : m_arrKnown)
        if (d.nVendorID == vendor && d.nProductID == product)
            return &d;
    return nullptr;
}

bool CZTBoardNotifyBase::OpenDevice(DeviceInfo* pInfo)
{
    wxMutexLocker lock(*m_pMutex);
    // The watcher thread and a companion's rescan on the main thread may
    // both find a board; only one worker may ever run.
    if (m_brun)
        return true;
    CDeviceBase* pDev = CreateDevice(*pInfo);
    if (!pDev)
        return false;
    wxMilliSleep(kOpenPauseMs);
    if (!pDev->Open()) {
        delete pDev;
        return m_brun;
    }
    if (!pDev->Init() || !pDev->DetectBoardType()) {
        pDev->Close();
        delete pDev;
        return m_brun;
    }
    if (AppCreateWorkThread(pDev->GetBoardType(), pDev)) {
        m_brun = true;
    } else {
        // No worker took the device (no class for its code, or its thread
        // did not start): release the board so that nothing holds it open.
        pDev->Close();
        delete pDev;
    }
    return m_brun;
}

bool CZTBoardNotifyBase::CloseDevice(DeviceInfo* pInfo)
{
    wxMutexLocker lock(*m_pMutex);
    bool ok = AppDestoryWorkThread(pInfo);
    if (ok)
        m_brun = false;
    return ok;
}

static CZTBoardApp* App()
{
    return dynamic_cast<CZTBoardApp*>(wxTheApp);
}

bool CZTBoardNotifyBase::AppCreateWorkThread(int nBoardType, CDeviceBase* pDev)
{
    CZTBoardApp* app = App();
    return app && app->CreateWorkThread(nBoardType, pDev);
}

bool CZTBoardNotifyBase::AppDestoryWorkThread(const DeviceInfo* pInfo)
{
    CZTBoardApp* app = App();
    return app && app->DestoryWorkThread(pInfo);
}

void CZTBoardNotifyBase::AppSetPointCount(int n)
{
    if (CZTBoardApp* app = App())
        app->SetPointCount(n);
}
