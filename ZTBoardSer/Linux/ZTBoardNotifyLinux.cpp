#include "ZTBoardNotifyLinux.h"

#include <libudev.h>
#include <wx/utils.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/select.h>
#include <vector>

namespace {

std::optional<std::string> Opt(const char* s)
{
    if (!s)
        return std::nullopt;
    return std::string(s);
}

bool Is(const std::optional<std::string>& s, const char* text)
{
    return s && *s == text;
}

// Board types whose arrival is logged.
bool IsLoggedType(uint32_t t)
{
    return (t >= 10 && t <= 15) || (t >= 20 && t <= 23) || t == 27 || t == 28;
}

// A writable copy for DeviceInfo::pDevPath.
std::vector<char> PathBuffer(const std::string& s)
{
    return std::vector<char>(s.c_str(), s.c_str() + s.size() + 1);
}

} // namespace

CZTBoardNotifyLinux::CZTBoardNotifyLinux() : m_pUdev(nullptr), m_bMonitoring(false) {}

CZTBoardNotifyLinux::~CZTBoardNotifyLinux()
{
    if (m_pUdev)
        udev_unref(m_pUdev);
}

wxThread::ExitCode CZTBoardNotifyLinux::Entry()
{
    if (m_pUdev)
        udev_unref(m_pUdev);
    m_pUdev = udev_new();
    if (!m_pUdev) {
        ZTPrintLine("[Server]udev_new failed");
        return 0;
    }
    Monitor();
    return 0;
}

void CZTBoardNotifyLinux::Monitor()
{
    // The monitor listens before the present devices are enumerated, so
    // that a board plugged meanwhile is not missed; one seen twice is
    // ignored the second time because it is in use by then.
    struct udev_monitor* mon = udev_monitor_new_from_netlink(m_pUdev, "udev");
    if (mon) {
        udev_monitor_filter_add_match_subsystem_devtype(mon, nullptr, nullptr);
        udev_monitor_enable_receiving(mon);
    } else {
        ZTPrintLine("[Server]cannot create the udev monitor");
    }
    m_bMonitoring = mon != nullptr;

    Enumerate("usb");
    Enumerate("video4linux");

    int fd = mon ? udev_monitor_get_fd(mon) : -1;
    while (!TestDestroy()) {
        if (fd < 0) {
            wxMilliSleep(100);
            continue;
        }
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(fd, &fds);
        struct timeval tv;
        tv.tv_sec = 1;
        tv.tv_usec = 500;
        int r = select(fd + 1, &fds, nullptr, nullptr, &tv);
        if (r < 0) {
            int err = errno;
            ZTPrintLine("select: %s", strerror(err));
            // A wait that keeps failing must not turn into a busy loop.
            if (err != EINTR)
                wxMilliSleep(100);
            continue;
        }
        if (r == 0 || !FD_ISSET(fd, &fds))
            continue;
        struct udev_device* dev = udev_monitor_receive_device(mon);
        if (!dev) {
            wxMilliSleep(1);
            continue;
        }
        HandleDevice(dev, false);
        udev_device_unref(dev);
    }
    m_bMonitoring = false;
    if (mon)
        udev_monitor_unref(mon);
}

bool CZTBoardNotifyLinux::Enumerate(const char* subsystem)
{
    // A context of its own: a companion's rescan runs on the main thread
    // while the watcher thread uses m_pUdev, and a udev context is not to
    // be shared between threads.
    struct udev* udev = udev_new();
    if (!udev)
        return false;
    struct udev_enumerate* en = udev_enumerate_new(udev);
    bool handled = false;
    if (en) {
        udev_enumerate_add_match_subsystem(en, subsystem);
        udev_enumerate_scan_devices(en);
        for (struct udev_list_entry* e = udev_enumerate_get_list_entry(en); e && !handled;
             e = udev_list_entry_get_next(e)) {
            struct udev_device* dev =
                udev_device_new_from_syspath(udev, udev_list_entry_get_name(e));
            if (!dev)
                continue;
            handled = HandleDevice(dev, true);
            udev_device_unref(dev);
        }
        udev_enumerate_unref(en);
    }
    udev_unref(udev);
    return handled;
}

bool CZTBoardNotifyLinux::HandleDevice(struct udev_device* pDev, bool bEnum)
{
    DevRecord rec;
    rec.subsystem = Opt(udev_device_get_subsystem(pDev));
    if (!rec.subsystem)
        return false;
    rec.devtype = Opt(udev_device_get_devtype(pDev));
    bool bInterface = Is(rec.subsystem, "usb") && Is(rec.devtype, "usb_interface");
    if (!bInterface && !Is(rec.subsystem, "video4linux"))
        return false;
    rec.action = Opt(udev_device_get_action(pDev));
    bool bRemove = Is(rec.action, "remove");
    struct udev_device* usb =
        udev_device_get_parent_with_subsystem_devtype(pDev, "usb", "usb_device");
    // By the time a removal is read, the device's parents may already have
    // left sysfs; the removal needs only the device's own path.
    if (!usb && !bRemove)
        return false;
    rec.devnode = Opt(udev_device_get_devnode(pDev));
    rec.devpath = Opt(udev_device_get_devpath(pDev));
    if (usb) {
        rec.idProduct = Opt(udev_device_get_sysattr_value(usb, "idProduct"));
        rec.idVendor = Opt(udev_device_get_sysattr_value(usb, "idVendor"));
        rec.product = Opt(udev_device_get_sysattr_value(usb, "product"));
    }

    ZTPrintLine("m_brun:%d bEnum:%d", m_brun ? 1 : 0, bEnum ? 1 : 0);
    if (m_brun)
        return bRemove ? processRemove(rec) : true;
    if (Is(rec.action, "add") || bEnum)
        return processAdd(rec);
    return true;
}

bool CZTBoardNotifyLinux::processAdd(const DevRecord& rec)
{
    ZTPrintLine("CZTBoardNotifyLinux::processAdd------");
    if (!rec.idProduct || !rec.idVendor)
        return false;
    uint32_t product = (uint32_t)strtoul(rec.idProduct->c_str(), nullptr, 16);
    uint32_t vendor = (uint32_t)strtoul(rec.idVendor->c_str(), nullptr, 16);
    const DeviceInfo* known = FindKnown(vendor, product);
    if (!known)
        return false;
    DeviceInfo info = *known;
    if (IsLoggedType(info.nBoardType))
        ZTPrintLine("**ZTLog**processAdd>>%u", info.nBoardType);

    std::optional<std::string> path;
    if (info.nDevType == DEVTYPE_CAMERA) {
        if (Is(rec.subsystem, "video4linux") && Is(rec.product, "USB 2.0 Camera"))
            path = rec.devnode;
    } else {
        path = rec.devpath;
    }
    if (!path)
        return false;
    std::vector<char> buf = PathBuffer(*path);
    info.pDevPath = buf.data();

    bool ok = OpenDevice(&info);
    if (ok && info.nBoardType == 12) {
        if (product == 0x1104)
            AppSetPointCount(4);
        else if (product == 0x1106)
            AppSetPointCount(6);
    }
    return ok;
}

bool CZTBoardNotifyLinux::processRemove(const DevRecord& rec)
{
    ZTPrintLine("CZTBoardNotifyLinux::processRemove----");
    DeviceInfo info;
    std::vector<char> buf;
    if (rec.devnode && Is(rec.subsystem, "video4linux")) {
        ZTPrintLine("pDevInfo->nodename----------%s", rec.devnode->c_str());
        buf = PathBuffer(*rec.devnode);
    } else if (rec.devpath) {
        ZTPrintLine("pDevInfo->devPath----------%s", rec.devpath->c_str());
        buf = PathBuffer(*rec.devpath);
    } else {
        return false;
    }
    info.pDevPath = buf.data();
    return CloseDevice(&info);
}
