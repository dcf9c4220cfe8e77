// The configuration file with arbitrary contents, read by CConfigXML and by
// every reader of the service: the calibration grid (both conversions), the
// pointer constants, the multi-touch frame's DriverSet, the side keys and the
// calibration's sample count; then written as the service writes it (a
// worker ending, a calibration being stored).
//
// Invariants: the readers never change the file; a file that could be
// loaded is still loadable after every save, and each value the service did
// not write reads back exactly as before.
#include <tinyxml2.h>
#include <wx/init.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "App/ZTBoardHost.h"
#include "ConfigXML.h"
#include "FuzzSupport.h"
#include "Pointer/Conversion.h"
#include "Pointer/MouseCtrlBase.h"
#include "Pointer/OrientProcess.h"
#include "Pointer/SidekeyProcess.h"
#include "Work/ZEZ/ZTBoardWorkIRQ.h"

namespace {

const char kWorkType[] = "ZTBoardWorkIRQ";
const char kCameraWorkType[] = "ZTBoardWorkLT";

// Board points the conversions are asked about: the whole 16-bit range
// the boards report, its corners and beyond.
const double kProbe[] = {-1e9, -65535, -1, 0, 0.5, 1, 500, 1000, 16000, 32000, 32767, 65535, 1e9};

void ConvertAll(CConversionBase* c)
{
    for (double x : kProbe)
        for (double y : kProbe) {
            BoardPoint p;
            p.x = x;
            p.y = y;
            c->Convert(&p);
            int s[2];
            c->ConvertPoint(&p, s);
        }
}

void ReadGrid(const char* workType)
{
    std::unique_ptr<CConversionBase> c(CreateConversion(workType, "coordinate"));
    InitConversion(c.get());
    ConvertAll(c.get());
    if (std::string(workType) == kCameraWorkType)
        c->GetCameraRect();
}

class Host : public CZTBoardHost {
public:
    void SendConnectToSoft(bool) override {}
    void OnSend(const char*, int) override {}
    void PostAppCommand(int) override {}
    void AdviseData(const wxString&) override {}
    // After a stored calibration the application rebuilds the worker's grid
    // from the file just written.
    void ReloadConversion() override { ReadGrid(kWorkType); }
    bool StartDualSock(int) override { return false; }
    void StopDualSock() override {}
    void SendDualPoint(int, int, int) override {}
    void SendDualData(int, int, int, int) override {}
    bool IsWorkRun() override { return true; }
    void StopKeyTimer() override {}
    bool IsKeyTimerRunning() override { return false; }
    void GetScreenSize(int* w, int* h) override { *w = 1920, *h = 1080; }
};

class NullMouse : public CMouseCtrlBase {
public:
    NullMouse() : CMouseCtrlBase(kWorkType) {}
    int LeftDown() override { return 0; }
    int RightDown() override { return 0; }
    int LeftUp() override { return 0; }
    int RightUp() override { return 0; }
    int LeftDownEx() override { return 0; }
    int MoveTo(int, int) override { return 0; }
};

using Key = std::tuple<std::string, std::string, std::string>;

// Every value the service can address: the first section of a name, in it
// the first element of a name, in it the first attribute of a name.
std::map<Key, std::string> Values(const std::string& path)
{
    std::map<Key, std::string> out;
    tinyxml2::XMLDocument doc;
    if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS || !doc.FirstChildElement())
        return out;
    std::map<std::string, bool> sections;
    for (auto* s = doc.FirstChildElement()->FirstChildElement(); s; s = s->NextSiblingElement()) {
        if (!sections.emplace(s->Name(), true).second)
            continue;
        std::map<std::string, bool> elements;
        for (auto* e = s->FirstChildElement(); e; e = e->NextSiblingElement()) {
            if (!elements.emplace(e->Name(), true).second)
                continue;
            for (auto* a = e->FirstAttribute(); a; a = a->Next())
                out.emplace(Key(s->Name(), e->Name(), a->Name()), a->Value());
        }
    }
    return out;
}

// Reads every value through CConfigXML itself.
void ReadThroughConfig(CConfigXML& cfg, const std::map<Key, std::string>& values)
{
    for (const auto& kv : values) {
        const char* s = std::get<0>(kv.first).c_str();
        const char* e = std::get<1>(kv.first).c_str();
        const char* a = std::get<2>(kv.first).c_str();
        std::vector<char> buf(kv.second.size() + 1, 'x');
        ZT_FUZZ_CHECK(cfg.GetStr(s, e, a, buf.data(), (int)buf.size()), "%s/%s/%s", s, e, a);
        ZT_FUZZ_CHECK(kv.second == buf.data(), "%s/%s/%s", s, e, a);
        char small[20] = {0};
        cfg.GetStr(s, e, a, small, sizeof small);
        ZT_FUZZ_CHECK(small[19] == '\0', "GetStr overran a 20-byte buffer");
        int v = 12345;
        ZT_FUZZ_CHECK(cfg.GetInt(s, e, a, &v, 0), "%s/%s", s, e);
        double xy[8] = {0};
        ZT_FUZZ_CHECK(cfg.GetPoints(s, e, a, 4, xy), "%s/%s", s, e);
    }
}

// The samples of a whole calibration run: each point a fixed position, until
// the run is stored.
void Calibrate(int nPoints, int nMode)
{
    COrientProcess orient(kWorkType);
    orient.StartOrient(nPoints, nMode);
    for (int point = 0; point <= COrientProcess::kMaxPoints; ++point) {
        for (int i = 0; i <= orient.m_nSkip + COrientProcess::kMaxSamples + 1; ++i)
            if (orient.AddSample(1000 + 1000 * point + i % 3, 500 + 900 * point))
                return;
        // The contact lifts between two points.
        orient.m_nRecvCount = 0;
        orient.m_bWaitUp = false;
    }
}

std::string g_path;
Host g_host;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    ztfuzz::QuietStdout();
    static wxInitializer wx;
    if (!wx.IsOk())
        ztfuzz::Fail("the toolkit did not initialise");
    ztfuzz::InstallAssertPrinter();
    ztfuzz::SkipSleepsOnThisThread();
    ztfuzz::EnterWorkDir("config", argc, argv);
    g_path = ZT_CONFIG_FILE;
    ZTSetHost(&g_host);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string original((const char*)data, size);
    if (!ztfuzz::WriteFile(g_path, data, size))
        ztfuzz::Fail("cannot write %s", g_path.c_str());

    // Readers only.
    ReadGrid(kWorkType);
    ReadGrid(kCameraWorkType);
    {
        NullMouse mouse;
        mouse.LoadConstants();
    }
    std::unique_ptr<CZTBoardWorkIRQ> worker(new CZTBoardWorkIRQ());
    worker->ReadDriverSet();
    {
        CSidekeyProcess keys(false, kWorkType);
        keys.LoadConfig();
        keys.LoadSoftKeyFlag();
        keys.CalcPointSize();
        for (double x : kProbe)
            for (double y : kProbe)
                keys.HitTest((int)x, (int)y);
    }
    {
        COrientProcess orient(kWorkType);
        orient.StartOrient(4, ORIENT_SCREEN);
    }
    std::string now;
    ZT_FUZZ_CHECK(ztfuzz::ReadFile(g_path, &now) && now == original, "a reader changed the file");

    CConfigXML cfg;
    bool loaded = cfg.Load(g_path.c_str());
    std::map<Key, std::string> before;
    if (loaded) {
        before = Values(g_path);
        ReadThroughConfig(cfg, before);
        ZT_FUZZ_CHECK(!cfg.FindElement("", "port") && !cfg.FindElement("Global", ""),
                      "an empty name found an element");
    }
    cfg.Close();

    // Writers: the worker ends (its run type cleared), a screen calibration
    // and a side-key calibration are stored.
    worker.reset();
    Calibrate(4, ORIENT_SCREEN);
    Calibrate(4, ORIENT_HOTKEY);

    ZT_FUZZ_CHECK(ztfuzz::ReadFile(g_path, &now), "the file is gone");
    if (!loaded) {
        ZT_FUZZ_CHECK(now == original, "a file that could not be loaded was rewritten");
        return 0;
    }
    CConfigXML again;
    ZT_FUZZ_CHECK(again.Load(g_path.c_str()), "a saved file no longer loads");
    std::map<Key, std::string> after = Values(g_path);
    for (const auto& kv : before) {
        const std::string& s = std::get<0>(kv.first);
        const std::string& e = std::get<1>(kv.first);
        const std::string& a = std::get<2>(kv.first);
        bool written = (s == "Global" && e == "CurrentRun" && a == "TYPE") ||
                       (s == kWorkType && (e == "coordinate" || e == "HOTKEY"));
        if (written)
            continue;
        auto it = after.find(kv.first);
        ZT_FUZZ_CHECK(it != after.end(), "%s/%s/%s was lost", s.c_str(), e.c_str(), a.c_str());
        ZT_FUZZ_CHECK(it->second == kv.second, "%s/%s/%s changed", s.c_str(), e.c_str(), a.c_str());
    }
    ReadThroughConfig(again, after);
    return 0;
}
