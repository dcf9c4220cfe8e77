#include "DeviceBase.h"
#include "DeviceCom.h"
#include "DeviceHid.h"

CDeviceBase* CreateDevice(const DeviceInfo& info)
{
    switch (info.nDevType) {
    case DEVTYPE_HID:
        return new CDeviceHid(info);
    case DEVTYPE_COM:
        return new CDeviceCom(info);
    case DEVTYPE_CAMERA:
        // The camera device comes with the V4L2 capture.
        ZTPrintLine("[Server]no camera device in this build");
        return nullptr;
    default:
        return nullptr;
    }
}
