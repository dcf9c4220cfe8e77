#include "ZezHarness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace zez {

namespace {
DeviceInfo BoardInfo()
{
    static char path[] = "/devices/pci0000:00/usb1/1-1/1-1:1.0";
    DeviceInfo d;
    d.nVendorID = 0x1314;
    d.nProductID = 0x1104;
    d.nDevType = DEVTYPE_HID;
    d.nBoardType = 12;
    d.pDevPath = path;
    return d;
}

std::string Hex(const unsigned char* p, int n)
{
    std::string s;
    char b[4];
    for (int i = 0; i < n; ++i) {
        snprintf(b, sizeof b, "%02X", p[i]);
        s += b;
    }
    return s;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
} // namespace

// ---------------------------------------------------------------- board

ScriptedBoard::ScriptedBoard(EventLog& log) : CDeviceBase(BoardInfo()), m_log(log) {}

int ScriptedBoard::ReadRaw(unsigned char* buf, int len)
{
    std::unique_lock<std::mutex> g(m_lock);
    ++m_reads;
    if (m_fail)
        return -1;
    if (m_script.empty()) {
        m_idle = true;
        m_cv.notify_all();
        m_cv.wait(g, [this] { return m_released || m_fail || !m_script.empty(); });
        if (m_fail)
            return -1;
        if (m_script.empty())
            return 1;
    }
    m_idle = false;
    Step s = m_script.front();
    m_script.pop_front();
    if (s.result > 0)
        memcpy(buf, s.bytes.data(), std::min<size_t>((size_t)len, s.bytes.size()));
    return s.result;
}

int ScriptedBoard::WriteRaw(const unsigned char* buf, int len)
{
    m_log.Add("write " + Hex(buf, len));
    return len;
}

int ScriptedBoard::SendFeature(const unsigned char* buf, int len)
{
    m_log.Add("feature " + Hex(buf, len));
    return len;
}

void ScriptedBoard::Queue(const Step& s)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_script.push_back(s);
    m_idle = false;
    m_cv.notify_all();
}

void ScriptedBoard::FailReads()
{
    std::lock_guard<std::mutex> g(m_lock);
    m_fail = true;
    m_cv.notify_all();
}

bool ScriptedBoard::WaitIdle(int ms)
{
    std::unique_lock<std::mutex> g(m_lock);
    return m_cv.wait_for(g, std::chrono::milliseconds(ms), [this] { return m_idle; });
}

void ScriptedBoard::Release()
{
    std::lock_guard<std::mutex> g(m_lock);
    m_released = true;
    m_cv.notify_all();
}

int ScriptedBoard::Reads()
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_reads;
}

// ---------------------------------------------------------------- reports

Bytes ReportOf(const std::vector<Contact>& records, int countByte, int count)
{
    Bytes b(CZTBoardWorkIRQ::kReportLen, 0);
    b[0] = 0x01;
    int k = 0;
    for (const Contact& c : records) {
        int o = 1 + CZTBoardWorkIRQ::kRecordLen * k++;
        b[o] = (unsigned char)c.status;
        b[o + 1] = (unsigned char)k;
        int v[4] = {c.x, c.y, c.w, c.h};
        for (int i = 0; i < 4; ++i) {
            b[o + 2 + 2 * i] = (unsigned char)(v[i] & 0xFF);
            b[o + 3 + 2 * i] = (unsigned char)((v[i] >> 8) & 0xFF);
        }
    }
    if (countByte >= 0)
        b[countByte] = (unsigned char)count;
    return b;
}

Bytes Report(std::initializer_list<Contact> records, int countByte, int count)
{
    return ReportOf(std::vector<Contact>(records), countByte, count);
}

int Probe::BoardXFor(int sx, int y)
{
    int lo = 0, hi = 65535;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (Screen(mid, y).x >= sx)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

std::string Move(const ScreenPoint& s)
{
    return "move " + std::to_string(s.x) + " " + std::to_string(s.y);
}

// ---------------------------------------------------------------- settings

int SideKeyX(int i) { return i < 14 ? 300 : 32400; }
int SideKeyY(int i) { return 1000 + (i % 14) * 960; }

std::string ConfigText(const Settings& s)
{
    std::string text = ReadFile(zt::SourceDir() + "/Config/config.xml");
    size_t begin = text.find("<ZTBoardWorkIRQ>");
    size_t end = text.find("</ZTBoardWorkIRQ>");
    if (begin == std::string::npos || end == std::string::npos)
        return text;
    std::string sec = text.substr(begin, end - begin);
    // Drags go exactly where the samples are, so that a test can predict
    // every motion.
    sec = std::regex_replace(sec, std::regex("<Constants [^/]*/>"),
                             "<Constants LIMIT_COUNT=\"" + std::to_string(s.limitCount) +
                                 "\" LIMIT_MOVE=\"3\" RC1=\"1.0\" RC2=\"0.0\" ORIENT_RECV_DATA_SIZE=\"20\"/>");
    sec = std::regex_replace(sec, std::regex("<DriverSet [^/]*/>"),
                             "<DriverSet VALUE1_T=\"" + std::to_string(s.value1) + "\" VALUE2_T=\"" +
                                 std::to_string(s.value2) + "\" GESTURE_T=\"" +
                                 std::to_string(s.gesture) + "\"/>");
    sec = std::regex_replace(sec, std::regex("bKeyPen=\"[0-9]*\""),
                             "bKeyPen=\"" + std::to_string(s.keyPen) + "\"");
    sec = std::regex_replace(sec, std::regex("Enable_Soft_Sidekey=\"[0-9]*\""),
                             std::string("Enable_Soft_Sidekey=\"") + (s.sideKeys ? "1" : "0") + "\"");
    if (s.sideKeys) {
        std::string keys = "<HOTKEY";
        char b[64];
        for (int i = 0; i < 28; ++i) {
            snprintf(b, sizeof b, " key%d=\"(%d.000000,%d.000000)\"", i, SideKeyX(i), SideKeyY(i));
            keys += b;
        }
        keys += "/>";
        sec = std::regex_replace(sec, std::regex("<HOTKEY [^/]*/>"), keys);
    }
    return text.substr(0, begin) + sec + text.substr(end);
}

// ---------------------------------------------------------------- fixture

void ZezTest::SetUp()
{
    char buf[4096];
    m_oldCwd = getcwd(buf, sizeof buf) ? buf : ".";
    m_dir.reset(new zt::WorkDir("zez"));
    ASSERT_EQ(0, chdir(m_dir->Path().c_str()));
    m_host.reset(new RecordingHost(m_log));
    ZTSetHost(m_host.get());
    g_bSoftOnline = false;
    Configure(Settings());
}

void ZezTest::TearDown()
{
    m_workers.clear();
    ZTSetHost(nullptr);
    g_bSoftOnline = false;
    if (chdir(m_oldCwd.c_str()) != 0)
        perror("chdir");
}

void ZezTest::Configure(const Settings& s)
{
    m_dir->WriteConfig(ConfigText(s));
}

Probe* ZezTest::Make(const IRQModel& model, const Settings& s)
{
    Configure(s);
    m_workers.emplace_back(new Probe(model, m_log));
    Probe* w = m_workers.back().get();
    m_pBoard = new ScriptedBoard(m_log);
    EXPECT_TRUE(w->InitWork(m_pBoard));
    return w;
}

std::vector<std::string> ZezTest::Events(size_t from, std::initializer_list<const char*> prefixes)
{
    std::vector<std::string> all = m_log.Events(), out;
    for (size_t i = from; i < all.size(); ++i) {
        bool keep = prefixes.size() == 0;
        for (const char* p : prefixes)
            keep = keep || all[i].rfind(p, 0) == 0;
        if (keep)
            out.push_back(all[i]);
    }
    return out;
}

} // namespace zez
