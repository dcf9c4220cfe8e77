#include "Cp210x.h"

#include <libudev.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "Common.h"

struct cp210x_device {
    int fd;
    std::string node;
};

namespace {

const int kReadTimeoutMs = 500;

// Node of the index-th tty whose USB device has these ids.
std::string FindTtyNode(unsigned int vendor, unsigned int product, int index)
{
    std::string found;
    struct udev* udev = udev_new();
    if (!udev)
        return found;
    struct udev_enumerate* en = udev_enumerate_new(udev);
    udev_enumerate_add_match_subsystem(en, "tty");
    udev_enumerate_scan_devices(en);
    int seen = 0;
    for (struct udev_list_entry* e = udev_enumerate_get_list_entry(en); e && found.empty();
         e = udev_list_entry_get_next(e)) {
        struct udev_device* dev = udev_device_new_from_syspath(udev, udev_list_entry_get_name(e));
        if (!dev)
            continue;
        struct udev_device* usb =
            udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device");
        const char* v = usb ? udev_device_get_sysattr_value(usb, "idVendor") : nullptr;
        const char* p = usb ? udev_device_get_sysattr_value(usb, "idProduct") : nullptr;
        const char* node = udev_device_get_devnode(dev);
        if (v && p && node && strtoul(v, nullptr, 16) == vendor &&
            strtoul(p, nullptr, 16) == product && seen++ == index)
            found = node;
        udev_device_unref(dev);
    }
    udev_enumerate_unref(en);
    udev_unref(udev);
    return found;
}

speed_t SpeedCode(unsigned int bps)
{
    static const struct {
        unsigned int bps;
        speed_t code;
    } table[] = {{1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
                 {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
                 {230400, B230400}, {460800, B460800}, {921600, B921600}};
    for (const auto& e : table)
        if (e.bps == bps)
            return e.code;
    return B0;
}

int RemainingMs(std::chrono::steady_clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? (int)left.count() : 0;
}

} // namespace

cp210x_device* cp210x_open(unsigned int vendor, unsigned int product, int index)
{
    std::string node = FindTtyNode(vendor, product, index);
    if (node.empty())
        return nullptr;
    // No controlling terminal: a bridge that goes away must not hang the
    // service up with SIGHUP.
    int fd = open(node.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        ZTPrintLine("[Server]cannot open %s: %s", node.c_str(), strerror(errno));
        return nullptr;
    }
    struct termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        // Board packets are binary: no line editing, echo or translation.
        cfmakeraw(&tio);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        tcsetattr(fd, TCSANOW, &tio);
    }
    return new cp210x_device{fd, node};
}

int cp210x_set_IFC(cp210x_device* h, int enable)
{
    if (!h)
        return -1;
    if (!enable)
        return 0;
    tcflush(h->fd, TCIOFLUSH);
    // Modem lines are absent on some bridges and on pseudo-terminals; not
    // having them is no error.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(h->fd, TIOCMBIS, &lines);
    return 0;
}

int cp210x_get_termios(cp210x_device* h, unsigned int* pFlags)
{
    struct termios tio;
    if (!h || !pFlags || tcgetattr(h->fd, &tio) != 0)
        return -1;
    *pFlags = (unsigned int)tio.c_cflag;
    return 0;
}

int cp210x_set_termios(cp210x_device* h, unsigned int flags, unsigned int speed)
{
    struct termios tio;
    if (!h || tcgetattr(h->fd, &tio) != 0)
        return -1;
    tio.c_cflag = (tcflag_t)flags;
    if (speed) {
        speed_t code = SpeedCode(speed);
        if (code == B0) {
            ZTPrintLine("[Server]unsupported line speed %u", speed);
            return -1;
        }
        cfsetispeed(&tio, code);
        cfsetospeed(&tio, code);
    }
    return tcsetattr(h->fd, TCSANOW, &tio) == 0 ? 0 : -1;
}

int cp210x_read(cp210x_device* h, unsigned char* pBuf, int len)
{
    if (!h || !pBuf || len < 0)
        return -1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
    int got = 0;
    while (got < len) {
        struct pollfd pfd = {h->fd, POLLIN, 0};
        int r = poll(&pfd, 1, RemainingMs(deadline));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return -1;
        if (r == 0)
            break;
        if (pfd.revents & POLLIN) {
            ssize_t n = read(h->fd, pBuf + got, (size_t)(len - got));
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n > 0) {
                got += (int)n;
                continue;
            }
        }
        // Hang-up, error, or end of file: the bridge is gone.
        return got > 0 ? got : -1;
    }
    return got;
}

int cp210x_write(cp210x_device* h, const unsigned char* pBuf, int len)
{
    if (!h || (!pBuf && len > 0) || len < 0)
        return -1;
    int done = 0;
    while (done < len) {
        ssize_t n = write(h->fd, pBuf + done, (size_t)(len - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return done > 0 ? done : -1;
        done += (int)n;
    }
    return done;
}

void cp210x_close(cp210x_device* h)
{
    if (!h)
        return;
    close(h->fd);
    delete h;
}

const char* cp210x_node(const cp210x_device* h)
{
    return h ? h->node.c_str() : nullptr;
}
