// Pieces shared by the calibration and side-key tests: a host that records
// what the components ask of the application, a pointer that records its
// primitive requests, and a working directory the test runs in.
#pragma once
#include <gtest/gtest.h>

#include <wx/string.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

#include "App/ZTBoardHost.h"
#include "ConfigXML.h"
#include "Pointer/MouseCtrlBase.h"
#include "ZtTestEnv.h"

namespace zt {

// Records, in order: "send:<bytes>", "cmd:<n>", "advise:<text>", "reload",
// "stop". Calls may come from several threads.
class RecordingHost : public CZTBoardQuietHost {
public:
    void OnSend(const char* pData, int nLen) override { Add("send:" + std::string(pData, nLen)); }
    void PostAppCommand(int n) override { Add("cmd:" + std::to_string(n)); }
    void AdviseData(const wxString& s) override { Add("advise:" + std::string(s.utf8_str())); }
    void ReloadConversion() override { Add("reload"); }
    bool IsWorkRun() override { return true; }
    void StopKeyTimer() override { Add("stop"); }

    std::vector<std::string> Take()
    {
        std::lock_guard<std::mutex> g(m_lock);
        std::vector<std::string> out;
        out.swap(m_events);
        return out;
    }
    int Count(const std::string& e)
    {
        std::lock_guard<std::mutex> g(m_lock);
        return (int)std::count(m_events.begin(), m_events.end(), e);
    }

    void Record(const std::string& e) { Add(e); }

private:
    void Add(const std::string& e)
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_events.push_back(e);
    }
    std::mutex m_lock;
    std::vector<std::string> m_events;
};

// Installs a recording host for the life of the object.
class ScopedHost {
public:
    ScopedHost() { ZTSetHost(&host); }
    ~ScopedHost() { ZTSetHost(nullptr); }
    RecordingHost host;
};

// Records the primitive requests: "ldown", "rdown", "lup", "rup", "ldownex",
// "move x y".
class RecordingMouse : public CMouseCtrlBase {
public:
    RecordingMouse() : CMouseCtrlBase("ZTBoardWorkIRQ") {}
    int LeftDown() override { return Add("ldown"); }
    int RightDown() override { return Add("rdown"); }
    int LeftUp() override { return Add("lup"); }
    int RightUp() override { return Add("rup"); }
    int LeftDownEx() override { return Add("ldownex"); }
    int MoveTo(int x, int y) override
    {
        return Add("move " + std::to_string(x) + " " + std::to_string(y));
    }
    std::vector<std::string> Take()
    {
        std::lock_guard<std::mutex> g(m_lock);
        std::vector<std::string> out;
        out.swap(m_calls);
        return out;
    }

private:
    int Add(const std::string& s)
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_calls.push_back(s);
        return 0;
    }
    std::mutex m_lock;
    std::vector<std::string> m_calls;
};

// A working directory with the shipped configuration that the test runs in
// (the configuration file is addressed relative to it).
class CalibDirTest : public ::testing::Test {
protected:
    explicit CalibDirTest(const char* name = "calib") : m_dir(name)
    {
        char buf[4096];
        m_oldCwd = getcwd(buf, sizeof buf) ? buf : "/";
        EXPECT_EQ(0, chdir(m_dir.Path().c_str()));
    }
    ~CalibDirTest() override { (void)chdir(m_oldCwd.c_str()); }

    void SetInt(const char* section, const char* element, const char* attr, int n)
    {
        CConfigXML cfg;
        ASSERT_TRUE(cfg.Load(ZT_CONFIG_FILE));
        ASSERT_TRUE(cfg.SetInt(section, element, attr, n));
        ASSERT_TRUE(cfg.Save());
    }
    void SetPoints(const char* section, const char* element, const char* prefix,
                   const std::vector<double>& xy)
    {
        CConfigXML cfg;
        ASSERT_TRUE(cfg.Load(ZT_CONFIG_FILE));
        ASSERT_TRUE(cfg.SetPoints(section, element, prefix, (int)xy.size() / 2, xy.data()));
        ASSERT_TRUE(cfg.Save());
    }
    std::string GetStr(const char* section, const char* element, const char* attr)
    {
        CConfigXML cfg;
        char buf[64] = {0};
        if (!cfg.Load(ZT_CONFIG_FILE) || !cfg.GetStr(section, element, attr, buf, sizeof buf))
            return "<missing>";
        return buf;
    }

    WorkDir m_dir;
    std::string m_oldCwd;
};

} // namespace zt
