// The one interface through which a board worker talks to its board.
#pragma once
#include "Common.h"

class CDeviceBase {
public:
    explicit CDeviceBase(const DeviceInfo& info);
    virtual ~CDeviceBase();
    CDeviceBase(const CDeviceBase&) = delete;
    CDeviceBase& operator=(const CDeviceBase&) = delete;

    virtual bool Open() = 0;
    virtual bool Init() = 0;
    virtual void Close() = 0;
    virtual int Read(unsigned char* pBuf, int nLen) = 0;
    virtual int Write(const unsigned char* pBuf, int nLen) = 0;
    virtual int ReadRaw(unsigned char* pBuf, int nLen) = 0;
    virtual int WriteRaw(const unsigned char* pBuf, int nLen) = 0;
    virtual int SendFeature(const unsigned char* pBuf, int nLen) = 0;
    virtual int QueryBoardType() = 0;
    virtual bool IsSameDevice(const DeviceInfo* pInfo);
    virtual bool DetectBoardType() = 0;
    virtual void SetArea(int right, int left, int top, int bottom) {}

    const DeviceInfo& GetInfo() const { return m_devInfo; }
    int GetBoardType() const { return (int)m_devInfo.nBoardType; }
    const char* GetPath() const { return m_devInfo.pDevPath; }
    int GetTimeout() const { return m_nTimeout; }

    bool m_bHadHand;
    bool m_bInit;
    DeviceInfo m_devInfo;
    int m_nTimeout;
};

// A new device of the class for info.nDevType, or null. The caller owns it.
CDeviceBase* CreateDevice(const DeviceInfo& info);
