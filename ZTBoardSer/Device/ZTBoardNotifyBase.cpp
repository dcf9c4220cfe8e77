#include "ZTBoardNotifyBase.h"

// Placeholder watcher core: the table only, no device is ever opened.
CZTBoardNotifyBase::CZTBoardNotifyBase()
    : wxThread(wxTHREAD_DETACHED), m_nKnownCount(0), m_brun(false), m_pMutex(new wxMutex) {}
CZTBoardNotifyBase::~CZTBoardNotifyBase()
{
    delete m_pMutex;
    if (m_exitSignal)
        m_exitSignal->Post();
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

bool CZTBoardNotifyBase::OpenDevice(DeviceInfo*) { return m_brun; }
bool CZTBoardNotifyBase::CloseDevice(DeviceInfo*) { return false; }
