// Test doubles for the multi-touch frame workers: a scripted 64-byte board,
// a pointer output that records its primitive requests, a host that records
// every service a worker asks of the application, and a worker whose reports
// can be fed one at a time on the test's own thread.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "App/ZTBoardHost.h"
#include "Device/DeviceBase.h"
#include "FakeBoard.h"
#include "Pointer/Conversion.h"
#include "Pointer/MouseCtrlBase.h"
#include "Work/ZEZ/ZTBoardWorkIRQ.h"
#include "ZtTestEnv.h"

namespace zez {

using Bytes = std::vector<unsigned char>;
using zt::EventLog;

const int kScreenW = 1920;
const int kScreenH = 1080;

// Every application service a worker uses, logged in the order the worker
// called them:
//   "send <text>", "post <n>", "advise <text>", "dualsock <port>",
//   "stopdual", "point <action> <x> <y>", "touch <slot> <state> <x> <y>".
class RecordingHost : public CZTBoardQuietHost {
public:
    explicit RecordingHost(EventLog& log) : m_log(log) {}
    void SendConnectToSoft(bool on) override { m_log.Add(on ? "online" : "offline"); }
    void OnSend(const char* p, int n) override { m_log.Add("send " + std::string(p, (size_t)n)); }
    void PostAppCommand(int n) override { m_log.Add("post " + std::to_string(n)); }
    void AdviseData(const wxString& s) override { m_log.Add("advise " + std::string(s.utf8_str())); }
    bool StartDualSock(int port) override
    {
        m_log.Add("dualsock " + std::to_string(port));
        return true;
    }
    void StopDualSock() override { m_log.Add("stopdual"); }
    void SendDualPoint(int a, int x, int y) override
    {
        m_log.Add("point " + std::to_string(a) + " " + std::to_string(x) + " " + std::to_string(y));
    }
    void SendDualData(int id, int st, int x, int y) override
    {
        m_log.Add("touch " + std::to_string(id) + " " + std::to_string(st) + " " + std::to_string(x) +
                  " " + std::to_string(y));
    }
    bool IsWorkRun() override { return true; }
    void GetScreenSize(int* w, int* h) override { *w = kScreenW, *h = kScreenH; }

private:
    EventLog& m_log;
};

// The X requests the pointer output would make: "move <x> <y>",
// "press <button>", "release <button>".
class RecordingMouse : public CMouseCtrlBase {
public:
    explicit RecordingMouse(EventLog& log) : CMouseCtrlBase("ZTBoardWorkIRQ"), m_log(log) {}
    int LeftDown() override { return Add("press 1"); }
    int RightDown() override { return Add("press 3"); }
    int LeftUp() override { return Add("release 1"); }
    int RightUp() override { return Add("release 3"); }
    int LeftDownEx() override { return Add("press 1"); }
    int MoveTo(int x, int y) override { return Add("move " + std::to_string(x) + " " + std::to_string(y)); }

private:
    int Add(const std::string& e)
    {
        m_log.Add(e);
        return 1;
    }
    EventLog& m_log;
};

// A board that replays read results. Writes and feature reports are logged
// ("write <hex>", "feature <hex>"). When the script runs out it waits for
// more, or until released; a released board returns short reads.
class ScriptedBoard : public CDeviceBase {
public:
    struct Step {
        int result; // what ReadRaw returns
        Bytes bytes;
    };
    explicit ScriptedBoard(EventLog& log);

    bool Open() override { return true; }
    bool Init() override { return m_bInit = true; }
    void Close() override {}
    int Read(unsigned char*, int) override { return -1; }
    int Write(const unsigned char*, int) override { return -1; }
    int ReadRaw(unsigned char* buf, int len) override;
    int WriteRaw(const unsigned char* buf, int len) override;
    int SendFeature(const unsigned char* buf, int len) override;
    int QueryBoardType() override { return -1; }
    bool DetectBoardType() override { return true; }

    void Queue(const Step& s);
    // Every read fails at once from now on, as after pulling the cable.
    void FailReads();
    // Waits until the worker asked for a report after the last queued one,
    // that is until it has handled everything queued.
    bool WaitIdle(int ms);
    void Release();
    int Reads();

private:
    EventLog& m_log;
    std::mutex m_lock;
    std::condition_variable m_cv;
    std::deque<Step> m_script;
    bool m_idle = false;
    bool m_released = false;
    bool m_fail = false;
    int m_reads = 0;
};

// One contact record of a report.
struct Contact {
    int status = 0;
    int x = 0, y = 0;
    int w = 0, h = 0;
};

// A 64-byte report with the records given (the rest zero); count, when not
// negative, goes into byte countByte.
Bytes Report(std::initializer_list<Contact> records, int countByte = -1, int count = 0);
Bytes ReportOf(const std::vector<Contact>& records, int countByte = -1, int count = 0);
inline Contact Touch(int x, int y, int w = 0, int h = 0) { return Contact{7, x, y, w, h}; }
inline Contact Lift(int x = 0, int y = 0) { return Contact{0, x, y, 0, 0}; }

// A worker of any model of the family whose reports the test feeds on its
// own thread, or which runs its real read loop over a ScriptedBoard.
class Probe : public CZTBoardWorkIRQ {
public:
    Probe(const IRQModel& model, EventLog& log) : CZTBoardWorkIRQ(model), m_log(log) {}

    void Feed(const Bytes& report)
    {
        memcpy(m_pData, report.data(), (size_t)kReportLen);
        OnReadResult(kReportLen);
    }
    void ReadResult(int r) { OnReadResult(r); }
    void End() { OnExit(); }

    ScreenPoint Screen(int x, int y)
    {
        BoardPoint p;
        p.x = x;
        p.y = y;
        return m_pConversion->Convert(&p);
    }
    // Smallest board X (at board Y y) that converts to screen X of at least sx.
    int BoardXFor(int sx, int y = 16000);

protected:
    CMouseCtrlBase* CreateMouse() override { return new RecordingMouse(m_log); }

private:
    EventLog& m_log;
};

// Settings of the worker's section for a test, written into the working
// directory's configuration file.
struct Settings {
    int limitCount = 0; // 0: no hold-to-right-click
    int value1 = 0, value2 = 0, gesture = 0;
    int keyPen = 0;
    bool sideKeys = false; // soft side keys along both board edges
};
std::string ConfigText(const Settings& s);

// Soft side keys of Settings::sideKeys: key i lies at board (SideKeyX(i),
// SideKeyY(i)).
int SideKeyX(int i);
int SideKeyY(int i);

// Working directory, recording host and log for one test; InitWork is run
// with a ScriptedBoard that the worker then owns.
class ZezTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A worker of model, initialised with the current settings.
    Probe* Make(const IRQModel& model, const Settings& s = Settings());
    void Configure(const Settings& s);

    // Log entries from index `from` on, optionally only those starting with
    // one of the prefixes.
    std::vector<std::string> Events(size_t from = 0, std::initializer_list<const char*> prefixes = {});
    std::vector<std::string> PointerEvents(size_t from = 0)
    {
        return Events(from, {"move", "press", "release"});
    }
    size_t Mark() { return m_log.Events().size(); }

    EventLog m_log;
    std::unique_ptr<RecordingHost> m_host;
    std::unique_ptr<zt::WorkDir> m_dir;
    std::vector<std::unique_ptr<Probe>> m_workers;
    ScriptedBoard* m_pBoard = nullptr;
    std::string m_oldCwd;
};

std::string Move(const ScreenPoint& s);

} // namespace zez
