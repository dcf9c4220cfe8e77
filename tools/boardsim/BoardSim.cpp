#include "BoardSim.h"

#include <umockdev.h>

#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace zt {
namespace sim {

namespace {

const char kPreload[] = "libumockdev-preload.so.0";

// The testbed of this process. One per process: each testbed costs
// descriptors that umockdev never gives back, and every simulated device
// of the process must be visible in the same /sys.
UMockdevTestbed* Bed()
{
    static std::once_flag once;
    static UMockdevTestbed* bed = nullptr;
    std::call_once(once, [] { bed = umockdev_testbed_new(); });
    return bed;
}

// Serialises changes of the testbed's tree: devices of several simulators
// may be plugged from several threads.
std::mutex& BedLock()
{
    static std::mutex m;
    return m;
}

// Every plug gets fresh sysfs names and a fresh node number, so that a board
// plugged again never meets what is left of its previous self.
int NextSlot()
{
    static std::atomic<int> next{1};
    return next++;
}

std::string Hex(const Bytes& b)
{
    std::string s;
    char buf[4];
    for (size_t i = 0; i < b.size(); ++i) {
        snprintf(buf, sizeof buf, "%02x", b[i]);
        s += buf;
    }
    return s;
}

// A vendor-defined descriptor with 64-byte input, output and feature
// reports: enough for hidapi and for boards that number no reports.
Bytes DefaultDescriptor()
{
    return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,
            0x75, 0x08, 0x95, 0x40, 0x09, 0x01, 0x81, 0x02, 0x95, 0x40, 0x09, 0x01,
            0x91, 0x02, 0x95, 0x40, 0x09, 0x01, 0xB1, 0x02, 0xC0};
}

std::string SysfsSafe(const std::string& s)
{
    std::string r = s;
    std::replace(r.begin(), r.end(), '\n', ' ');
    return r;
}

bool AddFromString(const std::string& text)
{
    GError* err = nullptr;
    bool ok;
    {
        std::lock_guard<std::mutex> guard(BedLock());
        ok = umockdev_testbed_add_from_string(Bed(), text.c_str(), &err);
    }
    if (!ok) {
        fprintf(stderr, "boardsim: cannot add device: %s\n", err ? err->message : "?");
        if (err)
            g_error_free(err);
    }
    return ok;
}

// Removal as the kernel does it: "remove" for every device deepest first,
// then the devices themselves deepest first (removing only the parent
// would leave links behind that break a later plug).
void RemoveDevices(const std::vector<std::string>& deepestFirst)
{
    std::lock_guard<std::mutex> guard(BedLock());
    for (const auto& sys : deepestFirst)
        umockdev_testbed_uevent(Bed(), sys.c_str(), "remove");
    for (const auto& sys : deepestFirst)
        umockdev_testbed_remove_device(Bed(), sys.c_str());
}

std::string RootDir()
{
    gchar* root = umockdev_testbed_get_root_dir(Bed());
    std::string s = root ? root : "";
    g_free(root);
    return s;
}

// Wait helper: cond.wait_for with a predicate and a millisecond budget.
template <class Pred>
bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lk, int ms, Pred pred)
{
    return cv.wait_for(lk, std::chrono::milliseconds(ms < 0 ? 0 : ms), pred);
}

} // namespace

// ---------------------------------------------------------------- recordings

static bool ParseBytes(std::istringstream& in, size_t count, Bytes* out)
{
    out->clear();
    std::string tok;
    while (out->size() < count && in >> tok) {
        char* end = nullptr;
        unsigned long v = strtoul(tok.c_str(), &end, 16);
        if (!end || *end || v > 0xFF)
            return false;
        out->push_back((uint8_t)v);
    }
    return out->size() == count && !(in >> tok);
}

bool ParseHidRecording(const std::string& text, HidRecording* pOut, std::string* pError)
{
    HidRecording rec;
    std::istringstream lines(text);
    std::string line;
    int lineNo = 0;
    int device = -1;
    auto fail = [&](const char* why) {
        if (pError)
            *pError = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    while (std::getline(lines, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line.size() < 2 || line[1] != ':')
            return fail("not a recorder line");
        char kind = line[0];
        std::string rest = line.size() > 2 ? line.substr(2) : "";
        size_t first = rest.find_first_not_of(' ');
        rest = first == std::string::npos ? "" : rest.substr(first);
        std::istringstream in(rest);
        if (kind == 'D') {
            int d = -1;
            if (!(in >> d))
                return fail("bad device index");
            if (device < 0)
                device = d;
            else if (d != device)
                break;  // only the first device of a capture is played
            continue;
        }
        switch (kind) {
        case 'N':
            rec.name = rest;
            break;
        case 'P':
            break;
        case 'I': {
            std::string b, v, p;
            if (!(in >> b >> v >> p))
                return fail("I: needs bus, vendor and product");
            rec.bus = (uint32_t)strtoul(b.c_str(), nullptr, 16);
            rec.vendor = (uint32_t)strtoul(v.c_str(), nullptr, 16);
            rec.product = (uint32_t)strtoul(p.c_str(), nullptr, 16);
            break;
        }
        case 'R': {
            size_t len = 0;
            if (!(in >> len) || !ParseBytes(in, len, &rec.descriptor))
                return fail("R: length does not match its bytes");
            break;
        }
        case 'E': {
            std::string stamp;
            size_t len = 0;
            if (!(in >> stamp >> len))
                return fail("E: needs a time and a length");
            size_t dot = stamp.find('.');
            char* end = nullptr;
            unsigned long long sec = strtoull(stamp.c_str(), &end, 10);
            if (end == stamp.c_str() || dot == std::string::npos || end != stamp.c_str() + dot)
                return fail("E: time is not seconds.microseconds");
            std::string frac = stamp.substr(dot + 1);
            if (frac.empty() || frac.size() > 6 ||
                frac.find_first_not_of("0123456789") != std::string::npos)
                return fail("E: time is not seconds.microseconds");
            frac.resize(6, '0');
            HidEvent ev;
            ev.usec = sec * 1000000ULL + strtoull(frac.c_str(), nullptr, 10);
            if (!ParseBytes(in, len, &ev.data))
                return fail("E: length does not match its bytes");
            if (ev.data.empty())
                return fail("E: empty report");
            rec.events.push_back(std::move(ev));
            break;
        }
        default:
            return fail("unknown line kind");
        }
    }
    *pOut = std::move(rec);
    return true;
}

bool LoadHidRecording(const std::string& path, HidRecording* pOut, std::string* pError)
{
    std::ifstream f(path);
    if (!f) {
        if (pError)
            *pError = "cannot read " + path;
        return false;
    }
    std::stringstream ss;
    ss << f.rdbuf();
    return ParseHidRecording(ss.str(), pOut, pError);
}

// ------------------------------------------------------------------ preload

void ZTSimEnsurePreload(int argc, char** argv)
{
    (void)argc;
    // Only the environment is looked at: asking umockdev whether it is in a
    // mock environment before a testbed exists caches the answer "no".
    const char* pre = getenv("LD_PRELOAD");
    if (pre && strstr(pre, "libumockdev-preload")) {
        // The testbed must exist before anything of this process creates a
        // udev monitor, or the monitor never hears of simulated devices.
        Bed();
        return;
    }
    std::string value = kPreload;
    if (pre && *pre)
        value += std::string(":") + pre;
    setenv("LD_PRELOAD", value.c_str(), 1);
    // A testbed of its own: not one that a parent left in the environment.
    unsetenv("UMOCKDEV_DIR");
    execv("/proc/self/exe", argv);
    fprintf(stderr, "boardsim: cannot re-execute %s under the preload: %s\n", argv[0],
            strerror(errno));
    exit(127);
}

// -------------------------------------------------------------------- board

struct CBoardSim::Impl {
    // Everything below is shared between the caller's thread, umockdev's
    // handler thread and the playback thread: guarded by m_lock.
    mutable std::mutex m_lock;
    mutable std::condition_variable m_cv;
    std::deque<Bytes> m_queue;
    std::vector<Bytes> m_sent;
    std::vector<Bytes> m_features;
    Responder m_responder;
    bool m_bPlugged = false;
    bool m_bReadError = false;
    bool m_bPlaying = false;
    bool m_bStopPlay = false;

    // Written by Plug under m_lock; the handler thread copies them under
    // m_lock (a client of an earlier plug may still be calling).
    uint16_t m_vendor = 0, m_product = 0;
    std::string m_name;
    Bytes m_descriptor;
    std::string m_devnode, m_node;  // "/dev/hidraw7", "hidraw7"
    std::vector<std::string> m_sysPaths;  // parents first, with "/sys"
    std::string m_ifacePath, m_usbPath;  // udev devpaths (no "/sys")
    int m_master = -1;  // doorbell: one byte per queued report
    int m_slave = -1;   // our own end of the node, to take doorbells back
    int m_serialFd = -1;
    UMockdevIoctlBase* m_handler = nullptr;
    std::thread m_player;

    bool MakePtyNode(const std::string& node, struct stat* pSt);
    bool PlugHid(const SimOptions& opt);
    bool PlugPlain(const SimOptions& opt);
    std::string UsbTree(int slot, const SimOptions& opt, std::string* pUsb, std::string* pIface);
    void Ring();
    void TakeDoorbell();
    void CloseFds();
    // Each callback holds its own reference to this object, released by
    // GLib only after the last emission that uses it has returned.
    // The callbacks of one plug: a client still holding the node of an
    // earlier plug is answered as unplugged, whatever this object holds now.
    struct Closure {
        std::shared_ptr<Impl> impl;
        int gen;
    };
    void Connect(const char* signal, GCallback cb)
    {
        g_signal_connect_data(m_handler, signal, cb, new Closure{m_self.lock(), m_gen},
                              [](gpointer p, GClosure*) { delete (Closure*)p; },
                              (GConnectFlags)0);
    }
    // Under m_lock: whether a callback of plug gen may act.
    bool Live(int gen) const { return m_bPlugged && gen == m_gen; }
    std::weak_ptr<Impl> m_self;
    int m_gen = 0;  // plug count; changed under m_lock
    void StopPlayer();

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* c, gpointer self);
    static gboolean OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* c, gpointer self);
    static gboolean OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* c, gpointer self);
    gboolean HandleIoctl(UMockdevIoctlClient* c, int gen);
    gboolean HandleRead(UMockdevIoctlClient* c, int gen);
    gboolean HandleWrite(UMockdevIoctlClient* c, int gen);
};

CBoardSim::CBoardSim() : m_p(std::make_shared<Impl>()) { m_p->m_self = m_p; }

CBoardSim::~CBoardSim()
{
    Unplug();
    m_p->StopPlayer();
}

std::string CBoardSim::Impl::UsbTree(int slot, const SimOptions& opt, std::string* pUsb,
                                     std::string* pIface)
{
    char usb[128], iface[160];
    snprintf(usb, sizeof usb, "/devices/pci0000:00/0000:00:14.0/usb1/1-%d", slot);
    snprintf(iface, sizeof iface, "%s/1-%d:1.0", usb, slot);
    *pUsb = usb;
    *pIface = iface;
    char vp[64];
    snprintf(vp, sizeof vp, "%x/%x/100", m_vendor, m_product);
    std::ostringstream t;
    char ids[64];
    snprintf(ids, sizeof ids, "A: idVendor=%04x\nA: idProduct=%04x\n", m_vendor, m_product);
    t << "P: " << usb << "\n"
      << "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
      << "E: PRODUCT=" << vp << "\n"
      << "E: BUSNUM=001\nE: DEVNUM=" << (100 + slot % 100) << "\n"
      << ids << "A: bcdDevice=0100\n"
      << "A: product=" << SysfsSafe(m_name) << "\n"
      << "A: manufacturer=" << SysfsSafe(opt.manufacturer) << "\n";
    if (!opt.serial.empty())
        t << "A: serial=" << SysfsSafe(opt.serial) << "\n";
    t << "A: busnum=1\nA: devnum=" << (100 + slot % 100) << "\n\n";
    int cls = opt.hid ? 3 : 0xFF;
    t << "P: " << iface << "\n"
      << "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
      << "E: PRODUCT=" << vp << "\n"
      << "E: INTERFACE=" << cls << "/0/0\n"
      << "A: bInterfaceNumber=00\nA: bInterfaceClass=" << (opt.hid ? "03" : "ff") << "\n"
      << "A: bAlternateSetting= 0\nA: bNumEndpoints=02\n\n";
    return t.str();
}

bool CBoardSim::Impl::MakePtyNode(const std::string& node, struct stat* pSt)
{
    // The node is a pseudo-terminal of our own: poll() on it is real (the
    // preload does not intercept it), and closing our end at unplug hangs
    // it up, so that a reader wakes at once as after a real unplug.
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        perror("boardsim: posix_openpt");
        return false;
    }
    const char* pts = ptsname(m_master);
    m_slave = pts ? open(pts, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (m_slave < 0 || fstat(m_slave, pSt) != 0) {
        perror("boardsim: open pts");
        return false;
    }
    struct termios tio;
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_slave, TCSANOW, &tio);

    m_node = node;
    m_devnode = "/dev/" + node;
    std::string root = RootDir();
    mkdir((root + "/dev").c_str(), 0755);
    std::string link = root + m_devnode;
    unlink(link.c_str());
    if (symlink(pts, link.c_str()) != 0) {
        perror("boardsim: symlink node");
        return false;
    }
    return true;
}

bool CBoardSim::Impl::PlugHid(const SimOptions& opt)
{
    int slot = NextSlot();
    {
        std::lock_guard<std::mutex> lk(m_lock);
        m_descriptor = opt.descriptor.empty() ? DefaultDescriptor() : opt.descriptor;
    }

    char node[32];
    snprintf(node, sizeof node, "hidraw%d", slot);
    struct stat st;
    if (!MakePtyNode(node, &st))
        return false;

    // The handler must be in place before the "add" event: a watcher may
    // open the node the moment it hears of it.
    m_handler = umockdev_ioctl_base_new();
    Connect("handle-ioctl", G_CALLBACK(OnIoctl));
    Connect("handle-read", G_CALLBACK(OnRead));
    Connect("handle-write", G_CALLBACK(OnWrite));
    GError* err = nullptr;
    if (!umockdev_testbed_attach_ioctl(Bed(), m_devnode.c_str(), m_handler, &err)) {
        fprintf(stderr, "boardsim: attach ioctl: %s\n", err ? err->message : "?");
        if (err)
            g_error_free(err);
        return false;
    }

    std::string usb, iface;
    std::string tree = UsbTree(slot, opt, &usb, &iface);
    char hidName[64], hidId[64];
    snprintf(hidName, sizeof hidName, "0003:%04X:%04X.%04X", m_vendor, m_product, slot);
    snprintf(hidId, sizeof hidId, "0003:%08X:%08X", m_vendor, m_product);
    std::string hid = iface + "/" + hidName;
    std::string raw = hid + "/hidraw/" + m_node;
    std::ostringstream t;
    t << tree;
    t << "P: " << hid << "\n"
      << "E: SUBSYSTEM=hid\nE: DRIVER=hid-generic\n"
      << "E: HID_ID=" << hidId << "\n"
      << "E: HID_NAME=" << SysfsSafe(m_name) << "\n"
      << "E: HID_PHYS=usb-0000:00:14.0-" << slot << "/input0\n"
      << "E: HID_UNIQ=" << SysfsSafe(opt.serial) << "\n"
      << "E: MODALIAS=hid:b0003g0001v" << hidId + 5 << "\n"
      << "H: report_descriptor=" << Hex(m_descriptor) << "\n\n";
    t << "P: " << raw << "\n"
      << "E: SUBSYSTEM=hidraw\n"
      << "E: DEVNAME=" << m_devnode << "\n"
      << "E: MAJOR=" << major(st.st_rdev) << "\nE: MINOR=" << minor(st.st_rdev) << "\n"
      << "A: dev=" << major(st.st_rdev) << ":" << minor(st.st_rdev) << "\n"
      << "L: device=../../../" << hidName << "\n";
    if (!AddFromString(t.str()))
        return false;
    m_usbPath = usb;
    m_ifacePath = iface;
    m_sysPaths = {"/sys" + usb, "/sys" + iface, "/sys" + hid, "/sys" + raw};
    return true;
}

bool CBoardSim::Impl::PlugPlain(const SimOptions& opt)
{
    int slot = NextSlot();
    std::string usb, iface;
    std::ostringstream t;
    t << UsbTree(slot, opt, &usb, &iface);
    m_usbPath = usb;
    m_ifacePath = iface;
    m_sysPaths = {"/sys" + usb, "/sys" + iface};
    if (!opt.tty.empty()) {
        // A serial bridge: its tty is a pseudo-terminal, which is what a
        // serial line is (a byte stream with line settings); line settings
        // and modem ioctls reach the real terminal.
        struct stat st;
        if (!MakePtyNode(opt.tty, &st))
            return false;
        m_serialFd = m_master;
        std::string tty = iface + "/" + opt.tty + "/tty/" + opt.tty;
        t << "P: " << tty << "\n"
          << "E: SUBSYSTEM=tty\nE: DEVNAME=" << m_devnode << "\n"
          << "E: MAJOR=" << major(st.st_rdev) << "\nE: MINOR=" << minor(st.st_rdev) << "\n"
          << "A: dev=" << major(st.st_rdev) << ":" << minor(st.st_rdev) << "\n\n";
        m_sysPaths.push_back("/sys" + tty);
    }
    return AddFromString(t.str());
}

bool CBoardSim::Plug(uint16_t vendor, uint16_t product, const std::string& name,
                     const SimOptions& options)
{
    Bed();
    {
        std::lock_guard<std::mutex> lk(m_p->m_lock);
        if (m_p->m_bPlugged)
            return false;
        m_p->m_queue.clear();
        m_p->m_bReadError = false;
        ++m_p->m_gen;
        m_p->m_vendor = vendor;
        m_p->m_product = product;
        m_p->m_name = name;
    }
    bool ok = options.hid ? m_p->PlugHid(options) : m_p->PlugPlain(options);
    if (!ok)
        m_p->CloseFds();
    std::lock_guard<std::mutex> lk(m_p->m_lock);
    m_p->m_bPlugged = ok;
    return ok;
}

bool CBoardSim::Unplug()
{
    {
        std::lock_guard<std::mutex> lk(m_p->m_lock);
        if (!m_p->m_bPlugged)
            return false;
        m_p->m_bPlugged = false;
        m_p->m_queue.clear();
        m_p->m_bStopPlay = true;
        m_p->m_cv.notify_all();
    }
    m_p->StopPlayer();
    {
        // Closing our end hangs the node up: a reader blocked in poll()
        // wakes with POLLHUP at once, as after a real unplug.
        std::lock_guard<std::mutex> lk(m_p->m_lock);
        if (m_p->m_master >= 0)
            close(m_p->m_master);
        m_p->m_master = -1;
    }
    std::vector<std::string> paths(m_p->m_sysPaths.rbegin(), m_p->m_sysPaths.rend());
    RemoveDevices(paths);
    if (m_p->m_handler) {
        std::lock_guard<std::mutex> guard(BedLock());
        umockdev_testbed_detach_ioctl(Bed(), m_p->m_devnode.c_str(), nullptr);
        g_object_unref(m_p->m_handler);
        m_p->m_handler = nullptr;
    }
    if (!m_p->m_node.empty())
        unlink((RootDir() + m_p->m_devnode).c_str());
    m_p->CloseFds();
    m_p->m_sysPaths.clear();
    m_p->m_node.clear();
    return true;
}

bool CBoardSim::Announce(const std::string& action)
{
    if (!IsPlugged())
        return false;
    std::vector<std::string> paths = m_p->m_sysPaths;
    if (action != "add")
        std::reverse(paths.begin(), paths.end());
    std::lock_guard<std::mutex> guard(BedLock());
    for (const auto& sys : paths)
        umockdev_testbed_uevent(Bed(), sys.c_str(), action.c_str());
    return true;
}

bool CBoardSim::IsPlugged() const
{
    std::lock_guard<std::mutex> lk(m_p->m_lock);
    return m_p->m_bPlugged;
}

void CBoardSim::Impl::CloseFds()
{
    std::lock_guard<std::mutex> lk(m_lock);
    if (m_master >= 0)
        close(m_master);
    if (m_slave >= 0)
        close(m_slave);
    m_master = m_slave = -1;
    m_serialFd = -1;
}

void CBoardSim::Impl::Ring()
{
    if (m_master >= 0) {
        char b = 1;
        if (write(m_master, &b, 1) != 1)
            perror("boardsim: doorbell");
    }
}

void CBoardSim::Impl::TakeDoorbell()
{
    char b;
    if (m_slave >= 0 && read(m_slave, &b, 1) != 1 && errno != EAGAIN)
        perror("boardsim: take doorbell");
}

void CBoardSim::QueueReport(const Bytes& report)
{
    std::lock_guard<std::mutex> lk(m_p->m_lock);
    if (!m_p->m_bPlugged || report.empty())
        return;
    m_p->m_queue.push_back(report);
    m_p->Ring();
}

size_t CBoardSim::PendingReports() const
{
    std::lock_guard<std::mutex> lk(m_p->m_lock);
    return m_p->m_queue.size();
}

bool CBoardSim::WaitDrained(int timeoutMs) const
{
    std::unique_lock<std::mutex> lk(m_p->m_lock);
    return WaitFor(m_p->m_cv, lk, timeoutMs, [this] { return m_p->m_queue.empty(); });
}

bool CBoardSim::PlayRecording(const std::string& path, double speed)
{
    HidRecording rec;
    std::string err;
    if (!LoadHidRecording(path, &rec, &err)) {
        fprintf(stderr, "boardsim: %s: %s\n", path.c_str(), err.c_str());
        return false;
    }
    return PlayRecording(rec, speed);
}

void CBoardSim::Impl::StopPlayer()
{
    {
        std::lock_guard<std::mutex> lk(m_lock);
        m_bStopPlay = true;
        m_cv.notify_all();
    }
    if (m_player.joinable())
        m_player.join();
    std::lock_guard<std::mutex> lk(m_lock);
    m_bStopPlay = false;
    m_bPlaying = false;
}

bool CBoardSim::PlayRecording(const HidRecording& rec, double speed)
{
    m_p->StopPlayer();
    {
        std::lock_guard<std::mutex> lk(m_p->m_lock);
        if (!m_p->m_bPlugged)
            return false;
        m_p->m_bPlaying = true;
    }
    std::vector<HidEvent> events = rec.events;
    m_p->m_player = std::thread([this, events, speed] {
        auto start = std::chrono::steady_clock::now();
        uint64_t base = events.empty() ? 0 : events.front().usec;
        std::unique_lock<std::mutex> lk(m_p->m_lock);
        for (const HidEvent& ev : events) {
            if (speed > 0) {
                auto at = start + std::chrono::microseconds((uint64_t)((ev.usec - base) / speed));
                if (m_p->m_cv.wait_until(lk, at, [this] { return m_p->m_bStopPlay; }))
                    break;
            }
            if (m_p->m_bStopPlay || !m_p->m_bPlugged)
                break;
            m_p->m_queue.push_back(ev.data);
            m_p->Ring();
        }
        m_p->m_bPlaying = false;
        m_p->m_cv.notify_all();
    });
    return true;
}

bool CBoardSim::WaitPlayed(int timeoutMs) const
{
    std::unique_lock<std::mutex> lk(m_p->m_lock);
    return WaitFor(m_p->m_cv, lk, timeoutMs, [this] { return !m_p->m_bPlaying; });
}

std::vector<Bytes> CBoardSim::SentReports() const
{
    std::lock_guard<std::mutex> lk(m_p->m_lock);
    return m_p->m_sent;
}

std::vector<Bytes> CBoardSim::SentFeatures() const
{
    std::lock_guard<std::mutex> lk(m_p->m_lock);
    return m_p->m_features;
}

bool CBoardSim::WaitSentReports(size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lk(m_p->m_lock);
    return WaitFor(m_p->m_cv, lk, timeoutMs, [&] { return m_p->m_sent.size() >= count; });
}

bool CBoardSim::WaitSentFeatures(size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lk(m_p->m_lock);
    return WaitFor(m_p->m_cv, lk, timeoutMs, [&] { return m_p->m_features.size() >= count; });
}

void CBoardSim::ClearSent()
{
    std::lock_guard<std::mutex> lk(m_p->m_lock);
    m_p->m_sent.clear();
    m_p->m_features.clear();
}

void CBoardSim::SetResponder(Responder responder)
{
    std::lock_guard<std::mutex> lk(m_p->m_lock);
    m_p->m_responder = std::move(responder);
}

void CBoardSim::SetReadError(bool bFail)
{
    std::lock_guard<std::mutex> lk(m_p->m_lock);
    m_p->m_bReadError = bFail;
    // A reader waiting in poll() must wake up to meet the error.
    if (bFail && m_p->m_bPlugged)
        m_p->Ring();
}

std::string CBoardSim::InterfaceDevPath() const { return m_p->m_ifacePath; }
std::string CBoardSim::UsbDevPath() const { return m_p->m_usbPath; }
std::string CBoardSim::DevNode() const { return m_p->m_devnode; }
int CBoardSim::SerialFd() const { return m_p->m_serialFd; }

// ------------------------------------------------------- umockdev callbacks

gboolean CBoardSim::Impl::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* c, gpointer self)
{
    auto* cl = static_cast<Closure*>(self);
    return cl->impl->HandleIoctl(c, cl->gen);
}

gboolean CBoardSim::Impl::OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* c, gpointer self)
{
    auto* cl = static_cast<Closure*>(self);
    return cl->impl->HandleRead(c, cl->gen);
}

gboolean CBoardSim::Impl::OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* c, gpointer self)
{
    auto* cl = static_cast<Closure*>(self);
    return cl->impl->HandleWrite(c, cl->gen);
}

static void* Resolve(UMockdevIoctlClient* c, size_t len)
{
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(c);
    UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, len, nullptr);
    return d ? d->data : nullptr;
}

static void CopyString(UMockdevIoctlClient* c, size_t len, const std::string& s)
{
    char* p = (char*)Resolve(c, len);
    if (!p) {
        umockdev_ioctl_client_complete(c, -1, EFAULT);
        return;
    }
    size_t n = std::min(len, s.size() + 1);
    memcpy(p, s.c_str(), n);
    if (len)
        p[len - 1] = p[len - 1] && n == len ? '\0' : p[len - 1];
    umockdev_ioctl_client_complete(c, (glong)n, 0);
}

gboolean CBoardSim::Impl::HandleIoctl(UMockdevIoctlClient* c, int gen)
{
    unsigned long req = umockdev_ioctl_client_get_request(c);
    size_t len = _IOC_SIZE(req);
    Bytes descriptor;
    std::string name;
    uint16_t vendor, product;
    {
        std::lock_guard<std::mutex> lk(m_lock);
        if (!Live(gen)) {
            umockdev_ioctl_client_complete(c, -1, ENODEV);
            return TRUE;
        }
        descriptor = m_descriptor;
        name = m_name;
        vendor = m_vendor;
        product = m_product;
    }
    if (req == HIDIOCGRDESCSIZE) {
        int* p = (int*)Resolve(c, sizeof(int));
        if (p)
            *p = (int)descriptor.size();
        umockdev_ioctl_client_complete(c, p ? 0 : -1, p ? 0 : EFAULT);
        return TRUE;
    }
    if (req == HIDIOCGRDESC) {
        auto* p = (struct hidraw_report_descriptor*)Resolve(c, sizeof(struct hidraw_report_descriptor));
        if (p) {
            size_t n = std::min<size_t>(descriptor.size(), HID_MAX_DESCRIPTOR_SIZE);
            p->size = (uint32_t)n;
            memcpy(p->value, descriptor.data(), n);
        }
        umockdev_ioctl_client_complete(c, p ? 0 : -1, p ? 0 : EFAULT);
        return TRUE;
    }
    if (req == HIDIOCGRAWINFO) {
        auto* p = (struct hidraw_devinfo*)Resolve(c, sizeof(struct hidraw_devinfo));
        if (p) {
            p->bustype = 3;
            p->vendor = (int16_t)vendor;
            p->product = (int16_t)product;
        }
        umockdev_ioctl_client_complete(c, p ? 0 : -1, p ? 0 : EFAULT);
        return TRUE;
    }
    if (_IOC_TYPE(req) == 'H' && _IOC_NR(req) == 0x04) {  // HIDIOCGRAWNAME(len)
        CopyString(c, len, name);
        return TRUE;
    }
    if (_IOC_TYPE(req) == 'H' && _IOC_NR(req) == 0x05) {  // HIDIOCGRAWPHYS(len)
        CopyString(c, len, "usb-0000:00:14.0-1/input0");
        return TRUE;
    }
    if (_IOC_TYPE(req) == 'H' && _IOC_NR(req) == 0x06) {  // HIDIOCSFEATURE(len)
        uint8_t* p = (uint8_t*)Resolve(c, len);
        if (!p || len == 0) {
            umockdev_ioctl_client_complete(c, -1, p ? EINVAL : EFAULT);
            return TRUE;
        }
        {
            std::lock_guard<std::mutex> lk(m_lock);
            if (!Live(gen)) {
                umockdev_ioctl_client_complete(c, -1, ENODEV);
                return TRUE;
            }
            m_features.emplace_back(p, p + len);
            m_cv.notify_all();
        }
        umockdev_ioctl_client_complete(c, (glong)len, 0);
        return TRUE;
    }
    if (_IOC_TYPE(req) == 'H' && _IOC_NR(req) == 0x07) {  // HIDIOCGFEATURE(len)
        // The board answers with the report id it was asked for and zeros.
        uint8_t* p = (uint8_t*)Resolve(c, len);
        if (!p || len == 0) {
            umockdev_ioctl_client_complete(c, -1, p ? EINVAL : EFAULT);
            return TRUE;
        }
        memset(p + 1, 0, len - 1);
        umockdev_ioctl_client_complete(c, (glong)len, 0);
        return TRUE;
    }
    umockdev_ioctl_client_complete(c, -1, ENOTTY);
    return TRUE;
}

gboolean CBoardSim::Impl::HandleRead(UMockdevIoctlClient* c, int gen)
{
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(c);
    std::unique_lock<std::mutex> lk(m_lock);
    if (!Live(gen)) {
        lk.unlock();
        umockdev_ioctl_client_complete(c, -1, ENODEV);
        return TRUE;
    }
    if (m_bReadError) {
        TakeDoorbell();
        lk.unlock();
        umockdev_ioctl_client_complete(c, -1, EIO);
        return TRUE;
    }
    if (m_queue.empty()) {
        lk.unlock();
        umockdev_ioctl_client_complete(c, -1, EAGAIN);
        return TRUE;
    }
    Bytes report = std::move(m_queue.front());
    m_queue.pop_front();
    TakeDoorbell();
    m_cv.notify_all();
    lk.unlock();
    size_t n = std::min<size_t>(report.size(), (size_t)arg->data_len);
    memcpy(arg->data, report.data(), n);
    umockdev_ioctl_client_complete(c, (glong)n, 0);
    return TRUE;
}

gboolean CBoardSim::Impl::HandleWrite(UMockdevIoctlClient* c, int gen)
{
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(c);
    Bytes sent(arg->data, arg->data + arg->data_len);
    Responder responder;
    {
        std::lock_guard<std::mutex> lk(m_lock);
        if (!Live(gen)) {
            umockdev_ioctl_client_complete(c, -1, ENODEV);
            return TRUE;
        }
        m_sent.push_back(sent);
        responder = m_responder;
        m_cv.notify_all();
    }
    if (responder) {
        std::vector<Bytes> answers = responder(sent);
        std::lock_guard<std::mutex> lk(m_lock);
        for (auto& a : answers) {
            if (!a.empty() && Live(gen)) {
                m_queue.push_back(std::move(a));
                Ring();
            }
        }
    }
    umockdev_ioctl_client_complete(c, (glong)sent.size(), 0);
    return TRUE;
}

// ------------------------------------------------------------------- camera

struct CCameraSim::Impl {
    std::vector<std::string> m_sysPaths;
    std::string m_devnode, m_devpath;
};

CCameraSim::CCameraSim() : m_p(new Impl) {}
CCameraSim::~CCameraSim() { Unplug(); }

bool CCameraSim::Plug(uint16_t vendor, uint16_t product, const std::string& productName)
{
    if (!m_p->m_sysPaths.empty())
        return false;
    Bed();
    int slot = NextSlot();
    char usb[128], iface[160], node[32];
    snprintf(usb, sizeof usb, "/devices/pci0000:00/0000:00:14.0/usb1/1-%d", slot);
    snprintf(iface, sizeof iface, "%s/1-%d:1.0", usb, slot);
    snprintf(node, sizeof node, "video%d", slot);
    std::string video = std::string(iface) + "/video4linux/" + node;
    char ids[64];
    snprintf(ids, sizeof ids, "A: idVendor=%04x\nA: idProduct=%04x\n", vendor, product);
    std::ostringstream t;
    t << "P: " << usb << "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
      << ids << "A: product=" << SysfsSafe(productName) << "\n\n"
      << "P: " << iface << "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
      << "A: bInterfaceNumber=00\nA: bInterfaceClass=0e\n\n"
      << "P: " << video << "\nE: SUBSYSTEM=video4linux\nE: DEVNAME=/dev/" << node << "\n"
      << "A: name=" << SysfsSafe(productName) << "\nN: " << node << "\n";
    if (!AddFromString(t.str()))
        return false;
    m_p->m_sysPaths = {"/sys" + std::string(usb), "/sys" + std::string(iface), "/sys" + video};
    m_p->m_devnode = std::string("/dev/") + node;
    m_p->m_devpath = video;
    return true;
}

bool CCameraSim::Unplug()
{
    if (m_p->m_sysPaths.empty())
        return false;
    std::vector<std::string> paths(m_p->m_sysPaths.rbegin(), m_p->m_sysPaths.rend());
    RemoveDevices(paths);
    m_p->m_sysPaths.clear();
    return true;
}

std::string CCameraSim::DevNode() const { return m_p->m_devnode; }
std::string CCameraSim::DevPath() const { return m_p->m_devpath; }

} // namespace sim
} // namespace zt
