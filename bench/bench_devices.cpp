// Prints, for simulated boards on real libudev and hidapi: the time from a
// board's add event to the hand-over of its opened device to the
// application (the watcher's fixed 500 ms pause before opening taken out),
// and the cost of one report read through the device layer.
#include <wx/app.h>
#include <wx/init.h>
#include <wx/utils.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <vector>

#include "BoardSim.h"
#include "Device/DeviceBase.h"
#include "ZTBoardNotifyLinux.h"

namespace {

typedef std::chrono::steady_clock Clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Records when the watcher hands a device over; the bench keeps it.
class TimingNotify : public CZTBoardNotifyLinux {
public:
    std::mutex m_lock;
    std::condition_variable m_cv;
    Clock::time_point m_handed;
    CDeviceBase* m_pDev = nullptr;

    bool WaitHandOver(int ms)
    {
        std::unique_lock<std::mutex> lk(m_lock);
        return m_cv.wait_for(lk, std::chrono::milliseconds(ms), [this] { return m_pDev != nullptr; });
    }
    CDeviceBase* Take()
    {
        std::lock_guard<std::mutex> lk(m_lock);
        CDeviceBase* p = m_pDev;
        m_pDev = nullptr;
        return p;
    }

protected:
    bool AppCreateWorkThread(int, CDeviceBase* pDev) override
    {
        std::lock_guard<std::mutex> lk(m_lock);
        m_handed = Clock::now();
        m_pDev = pDev;
        m_cv.notify_all();
        return true;
    }
    bool AppDestoryWorkThread(const DeviceInfo* pInfo) override { return true; }
    void AppSetPointCount(int) override {}
};

void PrintSpread(const char* what, std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    printf("bench: %-44s min %7.2f  median %7.2f  max %7.2f ms  (%zu runs)\n", what, v.front(),
           v[v.size() / 2], v.back(), v.size());
}

void BenchHotPlug(int runs)
{
    auto exited = std::make_shared<wxSemaphore>(0, 1);
    auto* notify = new TimingNotify();
    notify->SetExitSignal(exited);
    notify->Create();
    notify->RegisterDevices();
    notify->Run();
    while (!notify->IsMonitoring())
        wxMilliSleep(5);

    std::vector<double> addToHandOver;
    for (int i = 0; i < runs; ++i) {
        zt::sim::CBoardSim board;
        auto t0 = Clock::now();
        board.Plug(0x1314, 0x1104, "ZEZ touch frame");
        if (!notify->WaitHandOver(5000)) {
            printf("hot-plug: no hand-over within 5 s\n");
            break;
        }
        addToHandOver.push_back(Ms(notify->m_handed - t0) - 500.0);
        CDeviceBase* dev = notify->Take();
        board.Unplug();
        // The remove event clears the watcher's "in use" flag.
        while (notify->m_brun)
            wxMilliSleep(2);
        dev->Close();
        delete dev;
    }
    notify->Delete();
    exited->WaitTimeout(5000);
    if (!addToHandOver.empty())
        PrintSpread("add event -> device handed over (-500 ms)", addToHandOver);
}

void BenchRead(int reads)
{
    zt::sim::CBoardSim board;
    board.Plug(0x1314, 0x1104, "ZEZ touch frame");
    DeviceInfo info;
    info.nVendorID = 0x1314;
    info.nProductID = 0x1104;
    info.nDevType = DEVTYPE_HID;
    info.nBoardType = 12;
    char path[] = "/devices/bench";
    info.pDevPath = path;
    CDeviceBase* dev = CreateDevice(info);
    if (!dev->Open() || !dev->Init()) {
        printf("read: cannot open the simulated board\n");
        delete dev;
        return;
    }
    unsigned char buf[64];
    for (int pass = 0; pass < 2; ++pass) {
        bool raw = pass == 1;
        // Read takes a payload of at most 48 bytes (an IR board's 16 here);
        // ReadRaw whole reports (the ZEZ family's 64).
        zt::sim::Bytes report(raw ? 64 : 18, 0x07);
        double total = 0;
        int got = 0;
        // Queued ahead in batches, so that the simulator's own hand-out is
        // not on the timed path more than the read itself needs.
        for (int done = 0; done < reads; done += 100) {
            for (int i = 0; i < 100; ++i)
                board.QueueReport(report);
            auto t0 = Clock::now();
            for (int i = 0; i < 100; ++i)
                got += (raw ? dev->ReadRaw(buf, 64) : dev->Read(buf, 16)) > 0;
            total += Ms(Clock::now() - t0);
        }
        printf("bench: %-44s %7.1f us per report  (%d of %d read)\n",
               raw ? "ReadRaw of a 64-byte report" : "Read of a 16-byte payload (18-byte report)",
               total * 1000.0 / reads, got, reads);
    }
    dev->Close();
    delete dev;
}

} // namespace

int main(int argc, char** argv)
{
    zt::sim::ZTSimEnsurePreload(argc, argv);
    signal(SIGHUP, SIG_IGN);
    wxApp::SetInitializerFunction(nullptr);
    wxInitializer wx;
    // The device layer and the watcher print their diagnostic lines too;
    // the figures are the lines that start with "bench:".
    int runs = argc > 1 ? atoi(argv[1]) : 10;
    BenchHotPlug(runs);
    BenchRead(2000);
    return 0;
}
