// Test doubles of a board: a scripted device, a pointer output that injects
// nothing and a worker whose handlers log their report class.
#pragma once
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "App/ZTBoardHost.h"
#include "Device/DeviceBase.h"
#include "Pointer/MouseCtrlBase.h"
#include "Work/ZTBoardWorkBase.h"

namespace zt {

// One log shared by the device, the host and the worker, in the order things
// happened on the worker thread.
class EventLog {
public:
    void Add(const std::string& e)
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_events.push_back(e);
    }
    std::vector<std::string> Events()
    {
        std::lock_guard<std::mutex> g(m_lock);
        return m_events;
    }
    int Count(const std::string& e)
    {
        int n = 0;
        for (const auto& x : Events())
            n += x == e;
        return n;
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_events;
};

class LoggingHost : public CZTBoardQuietHost {
public:
    explicit LoggingHost(EventLog& log) : m_log(log) {}
    void SendConnectToSoft(bool on) override { m_log.Add(on ? "online" : "offline"); }
    void OnSend(const char* p, int n) override { m_log.Add("send:" + std::string(p, (size_t)n)); }
    void PostAppCommand(int n) override { m_log.Add("command" + std::to_string(n)); }
    bool IsWorkRun() override { return true; }
    void GetScreenSize(int* w, int* h) override { *w = 1920, *h = 1080; }

private:
    EventLog& m_log;
};

// Replays a script of read results; when the script runs out it waits until
// released, then fails every read as an unplugged board does.
class ScriptedDevice : public CDeviceBase {
public:
    struct Step {
        int result;                       // what Read returns
        std::vector<unsigned char> bytes; // copied into the buffer when result > 0
    };
    ScriptedDevice(EventLog& log, std::deque<Step> script)
        : CDeviceBase(Info()), m_log(log), m_script(std::move(script)) {}

    static DeviceInfo Info()
    {
        static char path[] = "/devices/test/1-1:1.0";
        DeviceInfo d;
        d.nVendorID = 0x1314;
        d.nProductID = 0x1104;
        d.nDevType = DEVTYPE_HID;
        d.pDevPath = path;
        return d;
    }

    bool Open() override { return true; }
    bool Init() override { return m_bInit = true; }
    void Close() override { m_log.Add("close"); }
    int Read(unsigned char* buf, int len) override
    {
        std::unique_lock<std::mutex> g(m_lock);
        ++m_reads;
        m_cv.notify_all();
        if (m_script.empty()) {
            m_exhausted = true;
            m_cv.notify_all();
            m_cv.wait(g, [this] { return m_released; });
            return -1;
        }
        Step s = m_script.front();
        m_script.pop_front();
        if (s.result > 0)
            memcpy(buf, s.bytes.data(), std::min<size_t>(len, s.bytes.size()));
        return s.result;
    }
    int Write(const unsigned char*, int len) override { return len; }
    int ReadRaw(unsigned char* b, int l) override { return Read(b, l); }
    int WriteRaw(const unsigned char*, int len) override { return len; }
    int SendFeature(const unsigned char*, int len) override { return len; }
    int QueryBoardType() override
    {
        m_log.Add("query");
        return 8;
    }
    bool DetectBoardType() override { return true; }

    bool WaitExhausted(int ms)
    {
        std::unique_lock<std::mutex> g(m_lock);
        return m_cv.wait_for(g, std::chrono::milliseconds(ms), [this] { return m_exhausted; });
    }
    void Release()
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_released = true;
        m_cv.notify_all();
    }
    int Reads()
    {
        std::lock_guard<std::mutex> g(m_lock);
        return m_reads;
    }

private:
    EventLog& m_log;
    std::mutex m_lock;
    std::condition_variable m_cv;
    std::deque<Step> m_script;
    bool m_exhausted = false;
    bool m_released = false;
    int m_reads = 0;
};

class NullMouse : public CMouseCtrlBase {
public:
    NullMouse() : CMouseCtrlBase("test") {}
    int LeftDown() override { return 0; }
    int RightDown() override { return 0; }
    int LeftUp() override { return 0; }
    int RightUp() override { return 0; }
    int LeftDownEx() override { return 0; }
    int MoveTo(int, int) override { return 0; }
};

// Report class in byte 1; handlers log their class.
class TestWorker : public CZTBoardWorkBase {
public:
    TestWorker(EventLog& log, const char* workType) : m_log(log) { m_strWorkType = workType; }
    int GetDataType() override { return m_pData[1]; }
    bool ParseData() override { return true; }
    void OnPressT() override { m_log.Add("class0"); }
    void OnPressS() override { m_log.Add("class1"); }
    void OnReleaseT() override { m_log.Add("class2"); }
    void OnReleaseS() override { m_log.Add("class3"); }
    void OnKeyFront() override { m_log.Add("class4"); }
    void OnKeyBack() override { m_log.Add("class5"); }
    void OnExtData() override { m_log.Add("class6"); }
    void OnReserved7() override { m_log.Add("class7"); }
    void OnReserved8() override { m_log.Add("class8"); }
    void OnReserved9() override { m_log.Add("class9"); }
    bool SetWorkMode(int cmd, int mid) override
    {
        m_log.Add("mode" + std::to_string(cmd));
        return CZTBoardWorkBase::SetWorkMode(cmd, mid);
    }

protected:
    CMouseCtrlBase* CreateMouse() override { return new NullMouse; }

private:
    EventLog& m_log;
};

} // namespace zt
