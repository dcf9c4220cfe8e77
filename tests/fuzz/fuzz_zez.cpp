// The multi-touch frame family's report handling: the four models (ZEZ,
// IRQT, IRQH, IRQ16) each in common, dual-split, dual-full and calibration
// mode, through a fake board and a pointer output that records what it would
// have done on the X server.
//
// Input: a header (model, mode, stroke classification, settings of the
// worker's section, the split line, the calibration run), then the stream:
// before each read a byte says what the read returned: a whole 64-byte report
// (the next 64 bytes), a time-out, a failure (as after an unplug), a short
// report, or a change of mode by the whiteboard software.
//
// Invariants, besides the sanitizers': after a time-out, a failed read and
// when the worker ends, no button of either pointer is down and no touch of
// the dual-screen peer is left begun.
#include <wx/init.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "App/ZTBoardHost.h"
#include "ConfigXML.h"
#include "Device/DeviceBase.h"
#include "FuzzSupport.h"
#include "Pointer/MouseCtrlBase.h"
#include "Work/ZEZ/ZTBoardWorkIRQ.h"

namespace {

const int kScreenW = 1920, kScreenH = 1080;
const IRQModel* const kModels[] = {&g_irqModelZEZ, &g_irqModelIRQT, &g_irqModelIRQH,
                                   &g_irqModelIRQ16};
enum { MODE_COMMON, MODE_SPLIT, MODE_FULL, MODE_ORIENT };

// Button state on the X server as the primitives would leave it.
struct Buttons {
    bool left = false, right = false;
};
Buttons g_x;

class RecordingMouse : public CMouseCtrlBase {
public:
    RecordingMouse() : CMouseCtrlBase("ZTBoardWorkIRQ") {}
    int LeftDown() override { return g_x.left = true; }
    int RightDown() override { return g_x.right = true; }
    int LeftUp() override { g_x.left = false; return 1; }
    int RightUp() override { g_x.right = false; return 1; }
    int LeftDownEx() override { return g_x.left = true; }
    int MoveTo(int, int) override { return 1; }
};

class Probe;
Probe* g_worker = nullptr;

class Host : public CZTBoardHost {
public:
    void SendConnectToSoft(bool) override {}
    void OnSend(const char*, int) override {}
    void PostAppCommand(int) override {}
    void AdviseData(const wxString&) override {}
    void ReloadConversion() override;
    bool StartDualSock(int) override { return true; }
    void StopDualSock() override {}
    void SendDualPoint(int action, int, int) override
    {
        if (action == 0)
            peerDown = true;
        else if (action == 2)
            peerDown = false;
    }
    void SendDualData(int id, int state, int, int) override
    {
        if (state == TOUCH_END)
            touches.erase(id);
        else
            touches.insert(id);
    }
    bool IsWorkRun() override { return true; }
    void StopKeyTimer() override {}
    bool IsKeyTimerRunning() override { return false; }
    void GetScreenSize(int* w, int* h) override { *w = kScreenW, *h = kScreenH; }

    bool peerDown = false;
    std::set<int> touches;
};
Host g_host;

class NullBoard : public CDeviceBase {
public:
    explicit NullBoard(const DeviceInfo& info) : CDeviceBase(info) {}
    bool Open() override { return true; }
    bool Init() override { return m_bInit = true; }
    void Close() override {}
    int Read(unsigned char*, int) override { return -1; }
    int Write(const unsigned char*, int n) override { return n; }
    int ReadRaw(unsigned char*, int) override { return -1; }
    int WriteRaw(const unsigned char*, int n) override { return n; }
    int SendFeature(const unsigned char*, int n) override { return n; }
    int QueryBoardType() override { return 8; }
    bool DetectBoardType() override { return true; }
};

class Probe : public CZTBoardWorkIRQ {
public:
    explicit Probe(const IRQModel& model) : CZTBoardWorkIRQ(model) {}
    void Feed(const unsigned char* report)
    {
        memcpy(m_pData, report, (size_t)kReportLen);
        OnReadResult(kReportLen);
    }
    void Result(int n)
    {
        memset(m_pData, 0, (size_t)kReportLen);
        OnReadResult(n);
    }
    void End() { OnExit(); }

protected:
    CMouseCtrlBase* CreateMouse() override { return new RecordingMouse; }
};

void Host::ReloadConversion()
{
    // The application has the worker rebuild its grid on its own thread.
    if (g_worker)
        g_worker->ReloadConversion();
}

void CheckReleased(const char* when)
{
    ZT_FUZZ_CHECK(!g_x.left && !g_x.right, "button %s left down %s", g_x.left ? "1" : "3", when);
    ZT_FUZZ_CHECK(!g_host.peerDown, "the peer's pointer left down %s", when);
    ZT_FUZZ_CHECK(g_host.touches.empty(), "%zu peer touches left begun %s", g_host.touches.size(),
                  when);
}

// The worker's section with the settings of the header. Soft side keys lie
// along both board edges.
std::string ConfigText(int limitCount, int value1, int value2, int gesture, int keyPen,
                       bool sideKeys, int recvSize)
{
    char head[1024];
    snprintf(head, sizeof head,
             "<?xml version=\"1.0\"?>\n<ZTBoard>\n<Global><port num=\"4869\"/><CurrentRun TYPE=\"\"/>"
             "<Device path=\"\"/></Global>\n<ZTBoardWorkIRQ>\n"
             "<coordinate dotNum=\"4\" dot0=\"(1000.000000,500.000000)\" "
             "dot1=\"(1000.000000,32000.000000)\" dot2=\"(32000.000000,500.000000)\" "
             "dot3=\"(32000.000000,32000.000000)\"/>\n"
             "<Constants LIMIT_COUNT=\"%d\" LIMIT_MOVE=\"3\" RC1=\"0.4\" RC2=\"0.6\" "
             "ORIENT_RECV_DATA_SIZE=\"%d\"/>\n<HOTKEY",
             limitCount, recvSize);
    std::string text = head;
    for (int i = 0; i < 28; ++i) {
        char k[64];
        snprintf(k, sizeof k, " key%d=\"(%d.000000,%d.000000)\"", i, i < 14 ? 300 : 32400,
                 1000 + (i % 14) * 960);
        text += k;
    }
    char tail[512];
    snprintf(tail, sizeof tail,
             "/>\n<Flag Enable_Soft_Sidekey=\"%d\" Is_Had_Hand=\"0\" bKeyPen=\"%d\" "
             "Is_SpeedFirst=\"0\"/>\n<DriverSet VALUE1_T=\"%d\" VALUE2_T=\"%d\" GESTURE_T=\"%d\"/>\n"
             "</ZTBoardWorkIRQ>\n</ZTBoard>\n",
             sideKeys ? 1 : 0, keyPen, value1, value2, gesture);
    return text + tail;
}

// The commands the whiteboard software and the calibration tool send for a
// mode.
void EnterMode(Probe& w, int mode, int mid, int orientPoints, int orientKind)
{
    w.SetWorkMode(10, 0);
    w.SetWorkMode(0, 0);
    switch (mode) {
    case MODE_SPLIT:
        w.SetWorkMode(9, 5000);
        w.SetWorkMode(11, mid);
        break;
    case MODE_FULL: w.SetWorkMode(8, 5000); break;
    case MODE_ORIENT: w.SetWorkMode(orientKind, orientPoints); break;
    default: break;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    ztfuzz::QuietStdout();
    static wxInitializer wx;
    if (!wx.IsOk())
        ztfuzz::Fail("the toolkit did not initialise");
    ztfuzz::InstallAssertPrinter();
    ztfuzz::SkipSleepsOnThisThread();
    ztfuzz::EnterWorkDir("zez", argc, argv);
    ZTSetHost(&g_host);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ztfuzz::ByteSource in(data, size);
    uint8_t b0 = in.Byte(), b1 = in.Byte();
    int value1 = in.Byte(), value2 = in.Byte();
    int pointCount = (int8_t)in.Byte();
    int mid = in.I32();
    uint8_t orient = in.Byte();

    const IRQModel& model = *kModels[b0 & 3];
    int mode = (b0 >> 2) & 3;
    bool sizeReport = b0 & 0x10;
    g_bSoftOnline = (b0 & 0x80) != 0;
    int orientPoints = orient % 8;
    int orientKind = orient & 0x80 ? 2 : 1;
    std::string cfg = ConfigText(b1 & 0x0F, value1, value2, (b0 >> 5) & 1, (b0 >> 6) & 1,
                                 b1 & 0x10, 3 + (b1 >> 5));
    if (!ztfuzz::WriteFile(ZT_CONFIG_FILE, cfg.data(), cfg.size()))
        ztfuzz::Fail("cannot write the configuration");

    g_x = Buttons();
    g_host.peerDown = false;
    g_host.touches.clear();

    static char path[] = "/devices/pci0000:00/usb1/1-1/1-1:1.0";
    DeviceInfo info;
    info.nVendorID = 0x1314;
    info.nProductID = 0x1104;
    info.nDevType = DEVTYPE_HID;
    info.nBoardType = (uint32_t)model.nBoardType;
    info.pDevPath = path;
    NullBoard* board = new NullBoard(info);
    board->m_bHadHand = (b1 & 0x80) != 0;

    std::unique_ptr<Probe> w(new Probe(model));
    g_worker = w.get();
    if (!w->InitWork(board))
        ztfuzz::Fail("InitWork failed");
    w->SetPointCount(pointCount);
    if (sizeReport)
        w->SetWorkMode(6, 1);
    EnterMode(*w, mode, mid, orientPoints, orientKind);

    unsigned char report[CZTBoardWorkIRQ::kReportLen];
    while (!in.Empty()) {
        uint8_t c = in.Byte();
        if (c < 0xE0) {
            in.Take(report, sizeof report);
            w->Feed(report);
        } else if (c < 0xEC) {
            w->Result(0);
            CheckReleased("after a read time-out");
        } else if (c < 0xF4) {
            w->Result(-1);
            CheckReleased("after a failed read");
        } else if (c < 0xF8) {
            w->Result(1 + in.Byte() % (CZTBoardWorkIRQ::kReportLen - 1));
        } else {
            EnterMode(*w, c & 3, mid, orientPoints, orientKind);
        }
    }
    w->End();
    CheckReleased("after the worker ended");
    w.reset();
    g_worker = nullptr;
    return 0;
}
