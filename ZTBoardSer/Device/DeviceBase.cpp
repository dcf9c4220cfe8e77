#include "DeviceBase.h"

#include <cstdlib>
#include <cstring>

CDeviceBase::CDeviceBase(const DeviceInfo& info)
    : m_bHadHand(false), m_bInit(false), m_devInfo(info), m_nTimeout(500)
{
    m_devInfo.pDevPath = info.pDevPath ? strdup(info.pDevPath) : nullptr;
}

CDeviceBase::~CDeviceBase()
{
    free(m_devInfo.pDevPath);
}

bool CDeviceBase::IsSameDevice(const DeviceInfo* pInfo)
{
    const char* other = pInfo ? pInfo->pDevPath : nullptr;
    ZTPrintLine("devInfo.pDevPath:%s", other ? other : "(null)");
    if (!other || !m_devInfo.pDevPath)
        return false;
    return strcmp(other, m_devInfo.pDevPath) == 0;
}
