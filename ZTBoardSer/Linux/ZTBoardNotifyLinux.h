// Hot-plug watcher on libudev.
#pragma once
#include "Device/ZTBoardNotifyBase.h"

struct udev;
struct udev_device;

class CZTBoardNotifyLinux : public CZTBoardNotifyBase {
public:
    CZTBoardNotifyLinux();
    ~CZTBoardNotifyLinux() override;
    ExitCode Entry() override;

    struct udev* m_pUdev;
    struct udev_device* m_pUsbDevice;
};
