// Hot-plug watcher on libudev: enumerates the present devices at start,
// then follows the kernel's device events.
#pragma once
#include <atomic>
#include <optional>
#include <string>

#include "Device/ZTBoardNotifyBase.h"

struct udev;
struct udev_device;

class CZTBoardNotifyLinux : public CZTBoardNotifyBase {
public:
    CZTBoardNotifyLinux();
    ~CZTBoardNotifyLinux() override;
    ExitCode Entry() override;
    bool Enumerate(const char* subsystem) override;

    // True once the event monitor listens: a board plugged from then on is
    // seen.
    bool IsMonitoring() const { return m_bMonitoring; }

    // What the watcher knows of one device; each field absent when udev
    // gives none. The ids and product name are those of its USB device.
    struct DevRecord {
        std::optional<std::string> subsystem, devtype, devnode, action;
        std::optional<std::string> idProduct, idVendor, product, devpath;
    };
    bool processAdd(const DevRecord& rec);
    bool processRemove(const DevRecord& rec);

    // The watcher thread's udev context (for the event monitor).
    struct udev* m_pUdev;

protected:
    // Looks at one device; true when it was dealt with (an enumeration
    // stops there).
    virtual bool HandleDevice(struct udev_device* pDev, bool bEnum);

private:
    void Monitor();
    std::atomic<bool> m_bMonitoring;
};
