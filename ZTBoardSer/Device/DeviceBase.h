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
    // Whole reports as the board delivers and takes them; devices without
    // such reports refuse (-1).
    virtual int ReadRaw(unsigned char* pBuf, int nLen);
    virtual int WriteRaw(const unsigned char* pBuf, int nLen);
    virtual int SendFeature(const unsigned char* pBuf, int nLen);
    // Sends the board type request (0xCE); Write's result.
    virtual int QueryBoardType();
    virtual bool IsSameDevice(const DeviceInfo* pInfo);
    // Asks a board of a provisional code (30, 31, 32) for its model and
    // replaces the code; sets m_bHadHand. False when the board fails.
    virtual bool DetectBoardType();
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

// The board's answer to the board type request, as DetectBoardType reads
// it: the refined code (or nCode unchanged), and the hand flag. False when
// the reply is not in the family and hand tables (the request is repeated).
bool ZTResolveBoardType(int nCode, unsigned char family, unsigned char hand, int* pCode,
                        bool* pHadHand);

// A new device of the class for info.nDevType, or null. The caller owns it.
CDeviceBase* CreateDevice(const DeviceInfo& info);
