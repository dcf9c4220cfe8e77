// Pieces shared by the pointer-output and conversion tests: a host that
// records the dual-screen pointer records and answers the screen size, a
// pointer that records its primitive requests and runs on a test clock, and a
// working directory the test runs in.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "App/ZTBoardHost.h"
#include "ConfigXML.h"
#include "Pointer/MouseCtrlBase.h"
#include "ZtTestEnv.h"

namespace zt {

class PointerHost : public CZTBoardQuietHost {
public:
    void SendDualPoint(int nAction, int x, int y) override
    {
        dual.push_back(std::to_string(nAction) + " " + std::to_string(x) + " " + std::to_string(y));
    }
    bool IsWorkRun() override { return true; }
    void GetScreenSize(int* w, int* h) override
    {
        *w = width;
        *h = height;
    }

    std::vector<std::string> TakeDual()
    {
        std::vector<std::string> out;
        out.swap(dual);
        return out;
    }

    int width = 1920;
    int height = 1080;
    // "code x y" per SendDualPoint.
    std::vector<std::string> dual;
};

// Installs a host for the life of the object.
class ScopedPointerHost {
public:
    ScopedPointerHost() { ZTSetHost(&host); }
    ~ScopedPointerHost() { ZTSetHost(nullptr); }
    PointerHost host;
};

// Records "ldown", "rdown", "lup", "rup", "ldownex", "move x y", with the
// time of each in microseconds; its clock is the test's.
class FakeMouse : public CMouseCtrlBase {
public:
    explicit FakeMouse(const wxString& workType = "ZTBoardWorkIRQ") : CMouseCtrlBase(workType) {}
    int LeftDown() override { return Add("ldown"); }
    int RightDown() override { return Add("rdown"); }
    int LeftUp() override { return Add("lup"); }
    int RightUp() override { return Add("rup"); }
    int LeftDownEx() override { return Add("ldownex"); }
    int MoveTo(int x, int y) override { return Add("move " + std::to_string(x) + " " + std::to_string(y)); }

    void SetConstants(int limitCount, int limitMove, float rc1, float rc2)
    {
        m_nLimitCount = limitCount;
        m_nLimitMove = limitMove;
        m_fRC1 = rc1;
        m_fRC2 = rc2;
    }
    std::vector<std::string> Take()
    {
        std::vector<std::string> out;
        out.swap(calls);
        times.clear();
        return out;
    }

    long long now = 100000;
    std::vector<std::string> calls;
    std::vector<long long> times;

protected:
    long long NowMs() const override { return now; }

private:
    int Add(const std::string& s)
    {
        calls.push_back(s);
        times.push_back(std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count());
        return 1;
    }
};

// A working directory (with the shipped configuration unless withConfig is
// false) that is the current directory for the life of the object.
class ScopedWorkDir {
public:
    explicit ScopedWorkDir(const std::string& name, bool withConfig = true) : dir(name, withConfig)
    {
        char buf[PATH_MAX];
        if (getcwd(buf, sizeof buf))
            m_old = buf;
        EXPECT_EQ(0, chdir(dir.Path().c_str()));
    }
    ~ScopedWorkDir()
    {
        if (!m_old.empty() && chdir(m_old.c_str()) != 0)
            ADD_FAILURE() << "cannot return to " << m_old;
    }
    // Sets the grid of a work type's section: dotNum and dot0.. .
    void SetGrid(const char* section, int dotNum, const std::vector<double>& xy) const
    {
        CConfigXML cfg;
        ASSERT_TRUE(cfg.Load(dir.ConfigPath().c_str()));
        ASSERT_TRUE(cfg.SetInt(section, "coordinate", "dotNum", dotNum));
        ASSERT_TRUE(cfg.SetPoints(section, "coordinate", "dot", (int)xy.size() / 2, xy.data()));
        ASSERT_TRUE(cfg.Save());
    }
    void SetAttr(const char* section, const char* element, const char* attr, const char* text) const
    {
        CConfigXML cfg;
        ASSERT_TRUE(cfg.Load(dir.ConfigPath().c_str()));
        ASSERT_TRUE(cfg.SetStr(section, element, attr, text));
        ASSERT_TRUE(cfg.Save());
    }

    // Replaces the whole element of a section (one "<element .../>" line)
    // by text, or removes it when text is empty.
    void SetElement(const std::string& section, const std::string& element, const std::string& text) const
    {
        std::string cfg = dir.ReadConfig();
        size_t sec = cfg.find("<" + section + ">");
        ASSERT_NE(std::string::npos, sec) << section;
        size_t start = cfg.find("<" + element + " ", sec);
        ASSERT_NE(std::string::npos, start) << element;
        size_t end = cfg.find("/>", start);
        ASSERT_NE(std::string::npos, end);
        cfg.replace(start, end + 2 - start, text);
        dir.WriteConfig(cfg);
    }

    WorkDir dir;

private:
    std::string m_old;
};

} // namespace zt
