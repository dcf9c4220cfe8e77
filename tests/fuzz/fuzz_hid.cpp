// The HID device over a fake HID library whose every result comes from the
// input: report framing of Read and Write, the raw transfers, and the board
// type query with whatever the board answers (or fails to).
//
// The fake library replaces the real one at link time. Input: the board type
// code, whether the open succeeds, then the results of the library calls in
// the order they are made (a read: a kind byte, then a length and the report
// bytes); after that a list of operations on the device. An exhausted input
// makes every read fail, as an unplugged board does, so every scenario ends.
#include <hidapi/hidapi.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstring>
#include <set>
#include <vector>

#include "DeviceHid.h"
#include "FuzzSupport.h"

struct hid_device_ {
    int nSerial;
};

namespace {

ztfuzz::ByteSource* g_in = nullptr;
std::set<hid_device*> g_open;
int g_nOpened = 0;

// What the device last asked of the library.
struct Call {
    size_t length = 0;
    int timeout = 0;
    std::vector<unsigned char> bytes; // written, or delivered by a read
    int result = 0;
    int count = 0;
};
Call g_read, g_write, g_feature;

void CheckHandle(hid_device* d, const char* fn)
{
    ZT_FUZZ_CHECK(g_open.count(d) == 1, "%s on a handle that is not open", fn);
}

int WriteResult(size_t length)
{
    uint8_t k = g_in->Byte();
    switch (k % 4) {
    case 0: return -1;
    case 1: return 0;
    case 2: return (int)(g_in->Byte() % (length + 1));
    default: return (int)length;
    }
}

} // namespace

extern "C" {

hid_device* hid_open(unsigned short, unsigned short, const wchar_t*)
{
    if (g_in->Byte() % 8 == 0)
        return nullptr;
    hid_device* d = new hid_device{++g_nOpened};
    g_open.insert(d);
    return d;
}

int hid_read_timeout(hid_device* d, unsigned char* data, size_t length, int milliseconds)
{
    CheckHandle(d, "hid_read_timeout");
    ++g_read.count;
    g_read.length = length;
    g_read.timeout = milliseconds;
    g_read.bytes.clear();
    // A library may use the whole buffer it was given.
    memset(data, 0xEE, length);
    uint8_t k = g_in->Byte();
    int n;
    if (k % 8 == 0)
        n = -1;
    else if (k % 8 == 1)
        n = 0;
    else if (k % 8 == 2)
        n = (int)(g_in->Byte() % (length + 1));
    else
        n = (int)length;
    if (n > 0) {
        g_read.bytes.resize((size_t)n);
        g_in->Take(g_read.bytes.data(), (size_t)n);
        memcpy(data, g_read.bytes.data(), (size_t)n);
    }
    g_read.result = n;
    return n;
}

int hid_write(hid_device* d, const unsigned char* data, size_t length)
{
    CheckHandle(d, "hid_write");
    ++g_write.count;
    g_write.length = length;
    g_write.bytes.assign(data, data + length);
    g_write.result = WriteResult(length);
    return g_write.result;
}

int hid_send_feature_report(hid_device* d, const unsigned char* data, size_t length)
{
    CheckHandle(d, "hid_send_feature_report");
    ++g_feature.count;
    g_feature.length = length;
    g_feature.bytes.assign(data, data + length);
    g_feature.result = WriteResult(length);
    return g_feature.result;
}

void hid_close(hid_device* d)
{
    CheckHandle(d, "hid_close");
    g_open.erase(d);
    delete d;
}

} // extern "C"

namespace {

const int kCodes[] = {0, 1, 6, 7, 12, 13, 14, 15, 30, 31, 32};

// The two bytes Write puts first, by the board type code at Init.
bool HeaderOf(int code, unsigned char* h)
{
    switch (code) {
    case 0: case 1: case 30: case 31: case 32: h[0] = 0x02; h[1] = 0x08; return true;
    case 6: case 7: h[0] = 0x02; h[1] = 0x10; return true;
    default: return false;
    }
}

void CheckRead(CDeviceHid& dev, int nLen)
{
    unsigned char buf[80];
    memset(buf, 0xA5, sizeof buf);
    int before = g_read.count;
    int r = dev.Read(buf, nLen);
    if (g_read.count == before)
        return; // refused without asking the library
    ZT_FUZZ_CHECK(nLen >= 0 && g_read.length == (size_t)nLen + 2, "read %zu bytes for %d",
                  g_read.length, nLen);
    ZT_FUZZ_CHECK(g_read.timeout == 500, "timeout %d", g_read.timeout);
    if (g_read.result > nLen + 1) {
        ZT_FUZZ_CHECK(r == nLen, "result %d for a full report of %d", r, nLen);
        ZT_FUZZ_CHECK(memcmp(buf, g_read.bytes.data() + 2, (size_t)nLen) == 0,
                      "payload is not bytes 2.. of the report");
        for (size_t i = (size_t)nLen; i < sizeof buf; ++i)
            ZT_FUZZ_CHECK(buf[i] == 0xA5, "byte %zu past the payload written", i);
    } else {
        ZT_FUZZ_CHECK(r == g_read.result, "result %d, library %d", r, g_read.result);
        for (size_t i = 0; i < sizeof buf; ++i)
            ZT_FUZZ_CHECK(buf[i] == 0xA5, "short read wrote byte %zu", i);
    }
}

void CheckWrite(CDeviceHid& dev, int nLen, int initCode)
{
    unsigned char payload[80];
    g_in->Take(payload, sizeof payload);
    int before = g_write.count;
    int r = dev.Write(payload, nLen);
    if (g_write.count == before)
        return;
    ZT_FUZZ_CHECK(nLen >= 0 && g_write.length == (size_t)nLen + 2, "wrote %zu for %d",
                  g_write.length, nLen);
    unsigned char h[2];
    if (HeaderOf(initCode, h))
        ZT_FUZZ_CHECK(g_write.bytes[0] == h[0] && g_write.bytes[1] == h[1],
                      "header %02X %02X on code %d", g_write.bytes[0], g_write.bytes[1], initCode);
    ZT_FUZZ_CHECK(memcmp(g_write.bytes.data() + 2, payload, (size_t)nLen) == 0, "payload changed");
    ZT_FUZZ_CHECK(r == g_write.result - 2, "result %d, library %d", r, g_write.result);
}

void CheckClosed(CDeviceHid& dev)
{
    unsigned char buf[64] = {0};
    int reads = g_read.count, writes = g_write.count, features = g_feature.count;
    ZT_FUZZ_CHECK(dev.Read(buf, 8) == -1 && dev.Write(buf, 8) == -1 && dev.ReadRaw(buf, 64) == -1 &&
                      dev.WriteRaw(buf, 64) == -1 && dev.SendFeature(buf, 64) == -1,
                  "a closed device transferred");
    ZT_FUZZ_CHECK(reads == g_read.count && writes == g_write.count && features == g_feature.count,
                  "a closed device called the library");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ztfuzz::QuietStdout();
    static wxInitializer wx;
    if (!wx.IsOk())
        ztfuzz::Fail("the toolkit did not initialise");
    ztfuzz::InstallAssertPrinter();
    // "open hid device failed!" goes to the framework's log.
    wxLog::EnableLogging(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ztfuzz::ByteSource in(data, size);
    g_in = &in;
    g_read = g_write = g_feature = Call();

    uint8_t c = in.Byte();
    int code = c < 0x80 ? kCodes[c % (sizeof kCodes / sizeof kCodes[0])] : c;
    static char path[] = "/devices/pci0000:00/usb1/1-1/1-1:1.0";
    DeviceInfo info;
    info.nVendorID = 0x1314;
    info.nProductID = 0x1104;
    info.nDevType = DEVTYPE_HID;
    info.nBoardType = (uint32_t)code;
    info.pDevPath = path;
    {
        CDeviceHid dev(info);
        CheckClosed(dev);
        if (dev.Open()) {
            CheckClosed(dev); // opened, not initialised
            dev.Init();
            int initCode = code;
            int writes = g_write.count;
            bool ok = dev.DetectBoardType();
            int now = dev.GetBoardType();
            bool provisional = code == 30 || code == 31 || code == 32;
            if (!provisional) {
                ZT_FUZZ_CHECK(ok && now == code && !dev.m_bHadHand && g_write.count == writes,
                              "code %d was queried or changed to %d", code, now);
            } else if (ok) {
                bool known = code == 32 ? (now == 25 || now == 26 || now == 32)
                                        : (now == 0 || now == 1 || now == 2 || now == 4);
                ZT_FUZZ_CHECK(known, "code %d became %d", code, now);
                ZT_FUZZ_CHECK(code != 31 || now == 1 || now == 4, "31 became %d", now);
                ZT_FUZZ_CHECK(code != 30 || now == 0 || now == 2, "30 became %d", now);
            }

            while (!in.Empty()) {
                uint8_t op = in.Byte();
                int n = (int)(in.Byte() % 72) - 4;
                unsigned char buf[80];
                switch (op % 8) {
                case 0: CheckRead(dev, n); break;
                case 1: CheckWrite(dev, n, initCode); break;
                case 2: {
                    memset(buf, 0, sizeof buf);
                    int r = dev.ReadRaw(buf, n < 0 ? n : n % 65);
                    ZT_FUZZ_CHECK(r <= 64, "raw read of %d", r);
                    break;
                }
                case 3:
                    in.Take(buf, sizeof buf);
                    dev.WriteRaw(buf, n < 0 ? n : n % 65);
                    break;
                case 4:
                    in.Take(buf, sizeof buf);
                    dev.SendFeature(buf, n < 0 ? n : n % 65);
                    break;
                case 5: dev.QueryBoardType(); break;
                case 6: {
                    dev.Close();
                    CheckClosed(dev);
                    dev.Close();
                    if (dev.Open()) {
                        dev.Init();
                        initCode = dev.GetBoardType();
                    }
                    break;
                }
                default: dev.DetectBoardType(); break;
                }
            }
            dev.Close();
            CheckClosed(dev);
        }
    }
    ZT_FUZZ_CHECK(g_open.empty(), "%zu handles left open", g_open.size());
    g_in = nullptr;
    return 0;
}
