#include "DeviceHid.h"

#include <hidapi/hidapi.h>
#include <wx/log.h>

#include <cstring>

namespace {

// Two leading bytes of every report Write sends, by board type code.
void HeaderFor(int nCode, unsigned char* pHead)
{
    memset(pHead, 0, 8);
    switch (nCode) {
    case 0:
    case 1:
    case 30:
    case 31:
    case 32:
        pHead[0] = 0x02;
        pHead[1] = 0x08;
        break;
    case 6:
    case 7:
        pHead[0] = 0x02;
        pHead[1] = 0x10;
        break;
    default:
        // Boards of the other codes send nothing through Write.
        break;
    }
}

} // namespace

CDeviceHid::CDeviceHid(const DeviceInfo& info) : CDeviceBase(info), m_pHandle(nullptr)
{
    memset(m_szHead, 0, sizeof m_szHead);
}

CDeviceHid::~CDeviceHid()
{
    // Owners close first; a handle still held here would keep the node
    // open for the rest of the process.
    if (m_pHandle)
        hid_close(m_pHandle);
}

bool CDeviceHid::Open()
{
    m_pHandle = hid_open((unsigned short)m_devInfo.nVendorID, (unsigned short)m_devInfo.nProductID,
                         nullptr);
    bool ok = m_pHandle != nullptr;
    if (!ok) {
        wxLogError("open hid device failed!");
        ZTPrintLine("open hid N successfully!");
    }
    ZTPrintLine("**Quenlo**Open CDeviceHid>>%d", ok ? 1 : 0);
    return ok;
}

bool CDeviceHid::Init()
{
    m_bInit = true;
    HeaderFor((int)m_devInfo.nBoardType, m_szHead);
    return true;
}

void CDeviceHid::Close()
{
    m_bInit = false;
    if (!m_pHandle)
        return;
    hid_close(m_pHandle);
    m_pHandle = nullptr;
    ZTPrintLine("[Server]close hid successfully!");
}

int CDeviceHid::Read(unsigned char* pBuf, int nLen)
{
    if (!Ready())
        return -1;
    // A payload that cannot fit the report buffer with its two header bytes
    // is refused rather than read past the buffer.
    if (!pBuf || nLen < 0 || nLen + 2 > REPORT_BUFFER)
        return -1;
    unsigned char buf[REPORT_BUFFER];
    memset(buf, 0, sizeof buf);
    int n = hid_read_timeout(m_pHandle, buf, (size_t)nLen + 2, m_nTimeout);
    if (n <= nLen + 1)
        return n;
    memcpy(pBuf, buf + 2, (size_t)nLen);
    return nLen;
}

int CDeviceHid::Write(const unsigned char* pBuf, int nLen)
{
    if (!Ready())
        return -1;
    if (nLen < 0 || nLen + 2 > REPORT_BUFFER || (!pBuf && nLen > 0))
        return -1;
    // A buffer per call: nothing is shared between device objects.
    unsigned char buf[REPORT_BUFFER];
    buf[0] = m_szHead[0];
    buf[1] = m_szHead[1];
    if (nLen > 0)
        memcpy(buf + 2, pBuf, (size_t)nLen);
    return hid_write(m_pHandle, buf, (size_t)nLen + 2) - 2;
}

int CDeviceHid::ReadRaw(unsigned char* pBuf, int nLen)
{
    if (!Ready() || !pBuf || nLen < 0)
        return -1;
    return hid_read_timeout(m_pHandle, pBuf, (size_t)nLen, m_nTimeout);
}

int CDeviceHid::WriteRaw(const unsigned char* pBuf, int nLen)
{
    if (!Ready() || !pBuf || nLen < 0)
        return -1;
    int n = hid_write(m_pHandle, pBuf, (size_t)nLen);
    ZTPrintLine("write ret=%d", n);
    return n;
}

int CDeviceHid::SendFeature(const unsigned char* pBuf, int nLen)
{
    if (!Ready() || !pBuf || nLen < 0)
        return -1;
    int n = hid_send_feature_report(m_pHandle, pBuf, (size_t)nLen);
    ZTPrintLine("sendfeature ret=%d", n);
    return n;
}
