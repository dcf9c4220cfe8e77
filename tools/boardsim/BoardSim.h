// Simulated USB boards for tests and demos.
//
// A CBoardSim presents one board to every program of this process (and to
// child processes started after the first plug) as a real USB HID device
// through umockdev: usb_device / usb_interface / hid / hidraw in sysfs, a
// /dev/hidrawN node, and real "add" / "remove" uevents that libudev monitors
// receive. hidapi's hidraw back end opens, reads, writes and sends feature
// reports to it as to real hardware.
//
// The process must run under the umockdev preload library. A test binary
// links ztboardsim_main (or calls ZTSimEnsurePreload first thing in main),
// which re-executes the program under the preload when it is not already.
//
// Typical use in a GoogleTest test:
//
//     zt::sim::CBoardSim board;
//     ASSERT_TRUE(board.Plug(0x1314, 0x1104, "ZEZ touch frame"));
//     board.QueueReport({0x01, 0x07, ...});          // next input report
//     ... code under test opens the board with hid_open and reads ...
//     ASSERT_TRUE(board.WaitSentReports(1, 2000));
//     EXPECT_EQ(board.SentReports()[0], (zt::sim::Bytes{0x02, 0x08, 0xCE, ...}));
//     board.Unplug();                                 // "remove" uevents
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zt {
namespace sim {

using Bytes = std::vector<uint8_t>;

// One input report of a recording, with its time from the recording's start.
struct HidEvent {
    uint64_t usec = 0;
    Bytes data;
};

// A capture in the text format of the Linux hid-tools recorder:
//   R: <len> <descriptor bytes...>   report descriptor
//   N: <name>                        device name
//   I: <bus> <vendor> <product>      hexadecimal
//   E: <sec>.<usec> <len> <bytes...> one input report
// "#" comments, "D:" (device index) and "P:" (physical path) lines are
// accepted and ignored; only the first device of a capture is used.
struct HidRecording {
    std::string name;
    uint32_t bus = 3;
    uint32_t vendor = 0;
    uint32_t product = 0;
    Bytes descriptor;
    std::vector<HidEvent> events;
};

// Parses a capture; on failure returns false and says why (with the line
// number) in *pError.
bool ParseHidRecording(const std::string& text, HidRecording* pOut, std::string* pError);
bool LoadHidRecording(const std::string& path, HidRecording* pOut, std::string* pError);

// Re-executes the running program under the umockdev preload (keeping its
// arguments) unless it already runs under it. Returns only when it does,
// with the process's testbed created (a udev monitor created before the
// testbed never hears of simulated devices); exits with 127 when the
// program cannot be re-executed.
void ZTSimEnsurePreload(int argc, char** argv);

// Answers an output report the service sent with the input reports the
// board sends back (none: an empty list). Runs on the simulator's thread.
using Responder = std::function<std::vector<Bytes>(const Bytes& sent)>;

// Description of a simulated device beyond its ids.
struct SimOptions {
    std::string manufacturer = "Simulated";
    std::string serial = "";
    Bytes descriptor;           // report descriptor; empty: a generic vendor one
    bool hid = true;            // false: a plain USB device with one interface
    std::string tty;            // non-empty (e.g. "ttyUSB0"): a serial bridge
                                // whose interface carries this tty node
};

class CBoardSim {
public:
    CBoardSim();
    ~CBoardSim();  // unplugs when still plugged
    CBoardSim(const CBoardSim&) = delete;
    CBoardSim& operator=(const CBoardSim&) = delete;

    // Adds the device with "add" uevents (parents first). False when already
    // plugged or when the testbed cannot take it (the reason is printed).
    bool Plug(uint16_t vendor, uint16_t product, const std::string& name = "Simulated board",
              const SimOptions& options = SimOptions());
    // Sends "remove" uevents deepest first and removes the device: reads on
    // an open handle fail from then on, as after pulling the cable.
    bool Unplug();
    bool IsPlugged() const;
    // Sends one more uevent for the plugged device ("add": parents first,
    // other actions deepest first), as udevadm trigger does.
    bool Announce(const std::string& action = "add");

    // Queues one input report (report id, if any, in byte 0); each read of
    // the hidraw node returns exactly one queued report.
    void QueueReport(const Bytes& report);
    size_t PendingReports() const;
    // Waits until every queued report has been read.
    bool WaitDrained(int timeoutMs) const;

    // Plays a capture's input reports with their timing (scaled by speed:
    // 2.0 plays twice as fast; 0 queues them all at once) on a thread of the
    // simulator; returns at once. False when the file cannot be parsed.
    bool PlayRecording(const std::string& path, double speed = 1.0);
    bool PlayRecording(const HidRecording& rec, double speed = 1.0);
    // Waits until the playback has queued its last report.
    bool WaitPlayed(int timeoutMs) const;

    // Every output report (write on the node) and feature report
    // (HIDIOCSFEATURE) received so far, in order, bytes as sent.
    std::vector<Bytes> SentReports() const;
    std::vector<Bytes> SentFeatures() const;
    bool WaitSentReports(size_t count, int timeoutMs) const;
    bool WaitSentFeatures(size_t count, int timeoutMs) const;
    void ClearSent();

    // Called for each output report; its answers are queued as input.
    void SetResponder(Responder responder);
    // Makes reads fail with an I/O error while set (the board misbehaves but
    // stays plugged).
    void SetReadError(bool bFail);

    // The udev device path (no "/sys" prefix) of the board's USB interface,
    // of its USB device, and its device node ("/dev/hidrawN", "/dev/ttyUSBn").
    std::string InterfaceDevPath() const;
    std::string UsbDevPath() const;
    std::string DevNode() const;
    // For a serial bridge: the board's end of the line (a pseudo-terminal
    // master): what the service writes is read here, what is written here
    // the service reads, and termios calls on it act on the line.
    int SerialFd() const;

    struct Impl;

private:
    // Shared with umockdev's handler thread, which may still be inside a
    // callback for a client that has not closed its handle yet.
    std::shared_ptr<Impl> m_p;
};

// A video4linux node as a camera presents it (subsystem video4linux under a
// USB device whose product is productName), for enumeration tests.
class CCameraSim {
public:
    CCameraSim();
    ~CCameraSim();
    bool Plug(uint16_t vendor, uint16_t product, const std::string& productName = "USB 2.0 Camera");
    bool Unplug();
    std::string DevNode() const;
    std::string DevPath() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_p;
};

} // namespace sim
} // namespace zt
