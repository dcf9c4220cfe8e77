// Boards behind a CP210x USB-to-serial bridge: the serial stream carries
// the board's packets as they are, without report headers.
#pragma once
#include "Device/DeviceBase.h"

struct cp210x_device;

class CDeviceCom : public CDeviceBase {
public:
    explicit CDeviceCom(const DeviceInfo& info);
    ~CDeviceCom() override;

    bool Open() override;
    bool Init() override;
    void Close() override;
    int Read(unsigned char* pBuf, int nLen) override;
    int Write(const unsigned char* pBuf, int nLen) override;

    // The control flags Init applies to those the bridge reports: 8 data
    // bits, no parity, one stop bit, receiver on, modem lines ignored, no
    // hardware flow control; speed bits and HUPCL kept.
    static unsigned int LineFlags(unsigned int current);

    cp210x_device* m_hCom;
};
