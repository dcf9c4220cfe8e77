#include "DeviceCom.h"

#include <termios.h>

#include "Cp210x.h"

CDeviceCom::CDeviceCom(const DeviceInfo& info) : CDeviceBase(info), m_hCom(nullptr) {}

CDeviceCom::~CDeviceCom()
{
    // The owner closes before deleting; a handle still held here would be
    // a descriptor lost for the rest of the process.
    if (m_hCom)
        cp210x_close(m_hCom);
}

unsigned int CDeviceCom::LineFlags(unsigned int current)
{
    const unsigned int cleared = CSIZE | CSTOPB | CREAD | PARENB | PARODD | CLOCAL | CRTSCTS;
    return (current & ~cleared) | CS8 | CREAD | CLOCAL;
}

bool CDeviceCom::Open()
{
    m_hCom = cp210x_open(m_devInfo.nVendorID, m_devInfo.nProductID, 0);
    return m_hCom != nullptr;
}

bool CDeviceCom::Init()
{
    cp210x_set_IFC(m_hCom, 1);
    unsigned int flags = 0;
    cp210x_get_termios(m_hCom, &flags);
    cp210x_set_termios(m_hCom, LineFlags(flags), m_devInfo.nBaudRate);
    m_bInit = true;
    return true;
}

void CDeviceCom::Close()
{
    m_bInit = false;
    if (!m_hCom)
        return;
    cp210x_close(m_hCom);
    m_hCom = nullptr;
    ZTPrintLine("[Server].........com closed!");
}

int CDeviceCom::Read(unsigned char* pBuf, int nLen)
{
    if (!m_hCom || !m_bInit) {
        ZTPrintLine("[Server]can not read:com not open or init");
        return -2;
    }
    return cp210x_read(m_hCom, pBuf, nLen);
}

int CDeviceCom::Write(const unsigned char* pBuf, int nLen)
{
    if (!m_hCom || !m_bInit) {
        ZTPrintLine("[Server]can not write:com not open or init");
        return -1;
    }
    return cp210x_write(m_hCom, pBuf, nLen);
}
