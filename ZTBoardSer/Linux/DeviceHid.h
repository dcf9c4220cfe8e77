// USB HID boards through hidapi's hidraw back end.
#pragma once
#include "Device/DeviceBase.h"

typedef struct hid_device_ hid_device;

class CDeviceHid : public CDeviceBase {
public:
    explicit CDeviceHid(const DeviceInfo& info);
    // Owners call Close first; a handle left open is released silently.
    ~CDeviceHid() override;

    bool Open() override;
    bool Init() override;
    void Close() override;
    // One report's payload: the board's two leading bytes are dropped.
    int Read(unsigned char* pBuf, int nLen) override;
    // One report: the two header bytes chosen by Init, then the payload.
    int Write(const unsigned char* pBuf, int nLen) override;
    int ReadRaw(unsigned char* pBuf, int nLen) override;
    int WriteRaw(const unsigned char* pBuf, int nLen) override;
    int SendFeature(const unsigned char* pBuf, int nLen) override;

    // Size of the report buffers of Read and Write: a payload plus the two
    // header bytes must fit.
    enum { REPORT_BUFFER = 50 };

    hid_device* m_pHandle;
    unsigned char m_szHead[8];

private:
    bool Ready() const { return m_pHandle && m_bInit; }
};
