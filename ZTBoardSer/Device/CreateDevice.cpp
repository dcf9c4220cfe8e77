#include "DeviceBase.h"

// Device classes arrive with the HID and serial back ends.
CDeviceBase* CreateDevice(const DeviceInfo& info)
{
    (void)info;
    return nullptr;
}
