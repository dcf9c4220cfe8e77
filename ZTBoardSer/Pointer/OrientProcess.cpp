#include "OrientProcess.h"

#include <wx/utils.h>

#include <climits>
#include <cstring>
#include <sstream>

#include "App/ZTBoardHost.h"
#include "Common.h"
#include "ConfigXML.h"

COrientProcess::COrientProcess(const wxString& strWorkType)
    : m_nPointNum(0), m_nCurPoint(0), m_nMode(0), m_strWorkType(strWorkType),
      m_strSection("coordinate"), m_nRecvDataSize(0), m_nSkip(SkipCount(strWorkType)),
      m_nRecvCount(0), m_bWaitUp(false)
{
    memset(m_point, 0, sizeof m_point);
    memset(m_sample, 0, sizeof m_sample);
}

COrientProcess::~COrientProcess() {}

int COrientProcess::SkipCount(const wxString& strWorkType)
{
    // The IR frame's first reports of a touch wander more than the others'.
    return strWorkType == "ZTBoardWorkIR" ? 12 : 8;
}

int COrientProcess::ReadRecvDataSize() const
{
    int n = 0;
    CConfigXML cfg;
    cfg.Load(ZT_CONFIG_FILE);
    cfg.GetInt(m_strWorkType.utf8_str(), "Constants", "ORIENT_RECV_DATA_SIZE", &n, 0);
    cfg.Close();
    if (n < kMinSamples || n > kMaxSamples) {
        int used = n < kMinSamples ? kMinSamples : kMaxSamples;
        ZTPrintLine("**ZTLog**ORIENT_RECV_DATA_SIZE %d out of range %d..%d, using %d", n,
                    kMinSamples, kMaxSamples, used);
        n = used;
    }
    return n;
}

void COrientProcess::StartOrient(int nPointNum, int nMode)
{
    // Read before taking the lock: a file being rewritten can hold the load
    // for a moment, and the worker must not wait for that.
    int nRecvDataSize = ReadRecvDataSize();
    if (nPointNum < 0 || nPointNum > kMaxPoints) {
        int used = nPointNum < 0 ? 0 : kMaxPoints;
        ZTPrintLine("**ZTLog**orientation point count %d out of range 0..%d, using %d", nPointNum,
                    kMaxPoints, used);
        nPointNum = used;
    }

    std::lock_guard<std::mutex> guard(m_lock);
    memset(m_point, 0, sizeof m_point);
    memset(m_sample, 0, sizeof m_sample);
    m_bWaitUp = false;
    m_nRecvCount = 0;
    m_nCurPoint = 0;
    m_nRecvDataSize = nRecvDataSize;
    m_nPointNum = nPointNum;
    m_nMode = nMode;
}

void COrientProcess::PrintPoint(double x, double y)
{
    std::ostringstream os;
    os << "(" << x << ", " << y << " )";
    ZTPrintLine("%s", os.str().c_str());
}

// Trimmed mean: the extremes of each axis are dropped, so that one stray
// sample does not pull the point away.
void COrientProcess::ReducePoint()
{
    const int n = m_nRecvDataSize;
    long long sx = 0, sy = 0;
    int xmin = INT_MAX, xmax = INT_MIN, ymin = INT_MAX, ymax = INT_MIN;
    for (int i = 0; i < n; ++i) {
        int x = m_sample[i][0], y = m_sample[i][1];
        sx += x;
        sy += y;
        xmin = x < xmin ? x : xmin;
        xmax = x > xmax ? x : xmax;
        ymin = y < ymin ? y : ymin;
        ymax = y > ymax ? y : ymax;
    }
    double* p = m_point[m_nCurPoint];
    p[0] = (double)(sx - xmax - xmin) / (n - 2);
    p[1] = (double)(sy - ymax - ymin) / (n - 2);
    PrintPoint(p[0], p[1]);
}

bool COrientProcess::AddSample(int x, int y)
{
    Run done;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_nCurPoint >= m_nPointNum)
            return false;
        const int count = m_nRecvCount;
        if (count < m_nSkip + m_nRecvDataSize) {
            // A reset from another thread may have lowered the count
            // meanwhile; the index is checked so that it never leaves the
            // array.
            int i = count - m_nSkip;
            if (i >= 0 && i < m_nRecvDataSize) {
                m_sample[i][0] = x;
                m_sample[i][1] = y;
            }
            m_nRecvCount = count + 1;
            return false;
        }
        if (m_bWaitUp)
            return false;

        ReducePoint();
        ZTHost()->AdviseData("fin");
        ++m_nCurPoint;
        if (m_nCurPoint < m_nPointNum) {
            m_bWaitUp = true;
            return false;
        }
        done.nMode = m_nMode;
        done.nPointNum = m_nPointNum;
        memcpy(done.point, m_point, sizeof done.point);
    }
    Save(done);
    ZTHost()->ReloadConversion();
    return true;
}

void COrientProcess::Save(const Run& run) const
{
    if (run.nMode == ORIENT_HOTKEY)
        SaveHotkeys(run);
    else
        SaveScreen(run);
}

void COrientProcess::SaveScreen(const Run& run) const
{
    CConfigXML cfg;
    if (cfg.Load(ZT_CONFIG_FILE)) {
        const wxScopedCharBuffer section = m_strWorkType.utf8_str();
        bool ok = cfg.SetInt(section, m_strSection.utf8_str(), "dotNum", run.nPointNum);
        ok = cfg.SetPoints(section, m_strSection.utf8_str(), "dot", run.nPointNum,
                           &run.point[0][0]) && ok;
        if (ok)
            cfg.Save();
        else
            ZTPrintLine("**ZTLog**no %s/%s in " ZT_CONFIG_FILE ": calibration not stored",
                        (const char*)section, (const char*)m_strSection.utf8_str());
    } else {
        ZTPrintLine("**ZTLog**" ZT_CONFIG_FILE " not loadable: calibration not stored");
    }
    cfg.Close();
    for (int i = 0; i < run.nPointNum; ++i)
        PrintPoint(run.point[i][0], run.point[i][1]);
    wxMicroSleep(500);
}

void COrientProcess::SaveHotkeys(const Run& run) const
{
    // Keys 0..13 run from P0 to P1 and keys 14..27 from P2 to P3, both ends
    // included. A run of fewer than four points leaves the missing ones zero.
    const double* p = &run.point[0][0];
    double keys[kKeyCount][2];
    for (int strip = 0; strip < 2; ++strip) {
        const double* a = p + 4 * strip;
        const double* b = a + 2;
        for (int i = 0; i < kKeysPerStrip; ++i) {
            double* k = keys[kKeysPerStrip * strip + i];
            k[0] = a[0] + (b[0] - a[0]) * i / (kKeysPerStrip - 1);
            k[1] = a[1] + (b[1] - a[1]) * i / (kKeysPerStrip - 1);
        }
    }
    for (int i = 0; i < kKeyCount; ++i)
        PrintPoint(keys[i][0], keys[i][1]);

    CConfigXML cfg;
    if (cfg.Load(ZT_CONFIG_FILE)) {
        if (cfg.SetPoints(m_strWorkType.utf8_str(), "HOTKEY", "key", kKeyCount, &keys[0][0]))
            cfg.Save();
        else
            ZTPrintLine("**ZTLog**no %s/HOTKEY in " ZT_CONFIG_FILE ": side keys not stored",
                        (const char*)m_strWorkType.utf8_str());
    } else {
        ZTPrintLine("**ZTLog**" ZT_CONFIG_FILE " not loadable: side keys not stored");
    }
    cfg.Close();
}
