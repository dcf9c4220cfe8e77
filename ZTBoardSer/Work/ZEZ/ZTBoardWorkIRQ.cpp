#include "Work/ZEZ/ZTBoardWorkIRQ.h"

#include <wx/utils.h>

#include <algorithm>
#include <cstring>

#include "App/ZTBoardHost.h"
#include "ConfigXML.h"
#include "Device/DeviceBase.h"
#include "Pointer/Conversion.h"
#include "Pointer/MouseCtrlBase.h"
#include "Pointer/OrientProcess.h"
#include "Pointer/SidekeyProcess.h"

namespace {
const char* const kWorkType = "ZTBoardWorkIRQ";
enum { STROKE_PEN, STROKE_MOUSE, STROKE_ERASER };
enum { MODE_COMMON, MODE_SPLIT, MODE_FULL, MODE_ORIENT };
// Keys from this index on belong to the second strip (the peer's half in
// split mode).
const int kFirstSecondStripKey = 14;
} // namespace

CZTBoardWorkIRQ::CZTBoardWorkIRQ() : CZTBoardWorkIRQ(g_irqModelZEZ) {}

CZTBoardWorkIRQ::CZTBoardWorkIRQ(const IRQModel& model)
    : bKeyPen(0), m_bGesture(0), m_bSizeReport(false), m_iValue1(0), m_iValue2(0), m_iMid(-1),
      m_iPointCount(4), m_bNewStroke(true), m_iSampleCount(0), m_ptHeld(), m_is(), m_ix(), m_iy(),
      m_iScreenWidth(0), m_iScreenHeight(0), m_x2(0), m_y2(0), m_iScreenX2(0), m_iScreenY2(0),
      m_iFrameReports(-1), m_bTouchStarted(), m_model(model), m_bPeerDown(false),
      m_bTrackerLive(false), m_ptSlot(), m_iFrameCount(0), m_iFrameStatus0(0), m_iFrameSize(0),
      m_nLastMode(MODE_COMMON), m_bReadFailing(false), m_bShortReported(false)
{
    m_strWorkType = kWorkType;
    m_iDataLen = kReportLen;
    std::fill(std::begin(m_iTouchId), std::end(m_iTouchId), -1);
    ZTHost()->GetScreenSize(&m_iScreenWidth, &m_iScreenHeight);
    // A frame plus the contacts the tracker appends as lost: no allocation
    // per report.
    m_vecPoints.reserve(2 * CTouchTracker::kMaxPoints);
}

// ---------------------------------------------------------------- set-up

bool CZTBoardWorkIRQ::InitWork(CDeviceBase* pDev)
{
    ReadDriverSet();
    bool ok = CZTBoardWorkBase::InitWork(pDev);
    ReadKeyPen();
    return ok;
}

void CZTBoardWorkIRQ::ReadKeyPen()
{
    CConfigXML cfg;
    int v = 0;
    if (cfg.Load(ZT_CONFIG_FILE))
        cfg.GetInt(kWorkType, "Flag", "bKeyPen", &v, 0);
    cfg.Close();
    bKeyPen = v;
}

bool CZTBoardWorkIRQ::ReadDriverSet()
{
    CConfigXML cfg;
    int v1 = m_model.nDefaultValue1, v2 = m_model.nDefaultValue2, g = m_model.nDefaultGesture;
    if (cfg.Load(ZT_CONFIG_FILE)) {
        v1 = v2 = g = 0;
        cfg.GetInt(kWorkType, "DriverSet", "VALUE1_T", &v1, 0);
        cfg.GetInt(kWorkType, "DriverSet", "VALUE2_T", &v2, 0);
        cfg.GetInt(kWorkType, "DriverSet", "GESTURE_T", &g, 0);
    }
    cfg.Close();
    m_iValue1 = v1;
    m_iValue2 = v2;
    m_bGesture = g;
    if (m_model.driverSetLog == IRQDriverSetLog::Quenlo)
        ZTPrintLine("**Quenlo**VALUE1>>%d VALUE2>>%d m_bGesture>>%d", v1, v2, g);
    else if (m_model.driverSetLog == IRQDriverSetLog::Plain)
        ZTPrintLine("VALUE1=%d VALUE2=%d m_bGesture=%d", v1, v2, g);
    return true;
}

void CZTBoardWorkIRQ::SetPointCount(int n)
{
    if (m_model.records != IRQRecordSource::PointCount)
        return;
    // A report holds six records; a count outside 1..6 would read past them.
    m_iPointCount = std::max(1, std::min(n, kRecords));
}

int CZTBoardWorkIRQ::ReadData(unsigned char* pBuf, int nLen)
{
    return m_pDev ? m_pDev->ReadRaw(pBuf, nLen) : -1;
}

int CZTBoardWorkIRQ::WriteData(const unsigned char* pBuf, int nLen)
{
    if (!m_pDev) {
        ZTPrintLine("m_pDev = NULL");
        return -1;
    }
    return m_pDev->WriteRaw(pBuf, nLen);
}

int CZTBoardWorkIRQ::SendWorkMode()
{
    unsigned char cmd[kReportLen] = {};
    memcpy(cmd, m_model.start, sizeof m_model.start);
    if (!m_model.bStartAsFeature)
        return WriteData(cmd, kReportLen);
    return m_pDev ? m_pDev->SendFeature(cmd, kReportLen) : -1;
}

bool CZTBoardWorkIRQ::SetWorkMode(int nCmd, int nMid)
{
    switch (nCmd) {
    case 3:
        ZTPrintLine("before bKeyPen=%d", bKeyPen.load());
        if (m_pSidekey)
            m_pSidekey->LoadSoftKeyFlag();
        ReadKeyPen();
        ZTPrintLine("bKeyPen=%d", bKeyPen.load());
        return true;
    case 5:
        return ReadDriverSet();
    case 6:
        if (nMid == 1) {
            m_bSizeReport = true;
            return true;
        }
        if (nMid == 0)
            return m_bSizeReport.exchange(false);
        return false;
    case 8:
        m_bDualFull = true;
        ZTHost()->StartDualSock(nMid);
        return true;
    case 9:
        m_bDualSplit = true;
        ZTHost()->StartDualSock(nMid);
        return true;
    case 10:
        m_bDualFull = false;
        m_bDualSplit = false;
        ZTHost()->StopDualSock();
        return true;
    case 11:
        m_iMid = nMid;
        ZTPrintLine("mid = %d", nMid);
        return true;
    default:
        return CZTBoardWorkBase::SetWorkMode(nCmd, nMid);
    }
}

// ---------------------------------------------------------------- read loop

wxThread::ExitCode CZTBoardWorkIRQ::Entry()
{
    SendWorkMode();
    LogEntry();
    while (!TestDestroy()) {
        memset(m_pData, 0, m_iDataLen);
        OnReadResult(ReadData(m_pData, m_iDataLen));
    }
    return 0;
}

void CZTBoardWorkIRQ::LogEntry()
{
    if (m_model.entryLog == IRQEntryLog::Named)
        ZTPrintLine("**Quenlo**ZTBoardWorkIRQ::Entry()");
    else if (m_model.entryLog == IRQEntryLog::HexDump)
        ZTPrintLine("irqh entry");
}

void CZTBoardWorkIRQ::OnReadResult(int nRead)
{
    if (nRead == m_iDataLen) {
        m_bReadFailing = false;
        m_bShortReported = false;
        HandleReport();
        return;
    }
    if (nRead > 0) {
        if (!m_bShortReported)
            ZTPrintLine("**Quenlo**%s: dropped a short report of %d bytes", m_model.pName, nRead);
        m_bShortReported = true;
        return;
    }
    if (AnythingDown()) {
        ZTPrintLine("**Quenlo**%s: %s with a contact down: released", m_model.pName,
                    nRead < 0 ? "board read failed" : "no report for 500 ms");
        ReleaseContacts();
    }
    if (nRead < 0) {
        if (!m_bReadFailing)
            ZTPrintLine("**Quenlo**%s: board read failed (%d); retrying", m_model.pName, nRead);
        m_bReadFailing = true;
        PauseAfterFailedRead();
    }
}

void CZTBoardWorkIRQ::DumpReport()
{
    char line[kReportLen * 3 + 1];
    for (int i = 0; i < kReportLen; ++i)
        snprintf(line + 3 * i, 4, "%02X ", m_pData[i]);
    ZTPrintLine("%s", line);
}

int CZTBoardWorkIRQ::CurrentMode() const
{
    int state = m_state.load();
    if (state == 1 || state == 2)
        return MODE_ORIENT;
    if (m_bDualFull)
        return MODE_FULL;
    return m_bDualSplit ? MODE_SPLIT : MODE_COMMON;
}

void CZTBoardWorkIRQ::HandleReport()
{
    if (m_model.entryLog == IRQEntryLog::HexDump)
        DumpReport();
    if (!CheckData() || !ParseData())
        return;
    int mode = CurrentMode();
    if (mode != m_nLastMode) {
        // The new mode's handlers know nothing of the old one's contacts:
        // finish them, so that no button or touch is left down.
        if (AnythingDown())
            ReleaseContacts();
        m_nLastMode = mode;
    }
    if (mode == MODE_ORIENT) {
        OnOrient();
        return;
    }
    if (m_model.bPenTray && OnPenTray())
        return;
    if (CheckKeyReport())
        return;
    if (mode == MODE_FULL)
        OnMultiTouch();
    else if (mode == MODE_SPLIT)
        OnDualSplit();
    else
        OnCommon();
}

bool CZTBoardWorkIRQ::ParseData()
{
    for (int k = 0; k < 2; ++k) {
        m_is[k] = Status(k);
        m_ix[k] = RecordX(k);
        m_iy[k] = RecordY(k);
    }
    return true;
}

bool CZTBoardWorkIRQ::OnPenTray()
{
    const char* pWord;
    switch (m_pData[1]) {
    case 0x0A: pWord = "bpen"; break;
    case 0x0B: pWord = "rpen"; break;
    case 0x0C: pWord = "gpen"; break;
    case 0x0D: pWord = bKeyPen ? "eare" : "lpen"; break;
    default: return false;
    }
    if (m_pSidekey)
        m_pSidekey->SendCmd(pWord, true);
    return true;
}

bool CZTBoardWorkIRQ::CheckKeyReport()
{
    if (!m_pSidekey)
        return false;
    int k = m_pSidekey->HitTest(m_ix[0], m_iy[0]);
    if (k < 0)
        return false;
    bool second = m_bDualSplit && k >= kFirstSecondStripKey;
    int& latch = second ? m_bKeyDown2 : m_bKeyDown1;
    if (m_is[0] == 0) {
        latch = 0;
    } else if (m_is[0] == kStatusTouching && !latch) {
        m_pSidekey->OnSoftKey(k, second ? 2 : 1);
        latch = 1;
    }
    return true;
}

// ---------------------------------------------------------------- releasing

bool CZTBoardWorkIRQ::AnythingDown() const
{
    if (m_pMouse && m_pMouse->IsPressed())
        return true;
    if (m_iSampleCount > 0 || m_bPeerDown || m_bTrackerLive || m_bKeyDown1 || m_bKeyDown2 ||
        m_iFrameReports != -1)
        return true;
    for (int k = 0; k < m_model.nSlots; ++k)
        if (m_iTouchId[k] != -1 || m_bTouchStarted[k])
            return true;
    return false;
}

void CZTBoardWorkIRQ::ReleaseContacts()
{
    if (!m_pMouse)
        return;
    FinishTouches();
    if (m_pMouse->IsPressed() || m_iSampleCount > 0 || m_bKeyDown1)
        OnReleaseT();
    if (m_bPeerDown || m_bKeyDown2)
        OnReleaseS();
}

void CZTBoardWorkIRQ::FinishTouches()
{
    m_iFrameReports = -1;
    if (m_bTrackerLive) {
        // An empty frame: the tracker reports every contact lost, and the
        // ordinary path releases the pointer and ends the peer's touches.
        m_vecPoints.clear();
        TrackAndDeliver(false);
    }
    for (int k = 1; k < m_model.nSlots; ++k) {
        if (m_bTouchStarted[k])
            ZTHost()->SendDualData(k, TOUCH_END, m_ptSlot[k].x, m_ptSlot[k].y);
        m_bTouchStarted[k] = 0;
        m_iTouchId[k] = -1;
    }
    if (m_iTouchId[0] != -1) {
        OnReleaseT();
        Send("ssup");
        m_iTouchId[0] = -1;
    }
}

// ---------------------------------------------------------------- common mode

ScreenPoint CZTBoardWorkIRQ::ToScreen(double x, double y)
{
    BoardPoint bp;
    bp.x = x;
    bp.y = y;
    return m_pConversion->Convert(&bp);
}

void CZTBoardWorkIRQ::OnCommon()
{
    if (m_model.bTwoContactCommon && m_is[0] == kStatusTouching) {
        if (m_is[1] == kStatusTouching) {
            m_x = (m_ix[0] + m_ix[1]) / 2;
            m_y = (m_iy[0] + m_iy[1]) / 2;
            OnPressT();
            return;
        }
        if (m_is[1] != 0) {
            OnReleaseT();
            return;
        }
    }
    if (m_is[0] == kStatusTouching) {
        m_x = m_ix[0];
        m_y = m_iy[0];
        OnPressT();
    } else {
        OnReleaseT();
    }
}

void CZTBoardWorkIRQ::PressDown(const ScreenPoint& s)
{
    m_pMouse->MouseEvent(s.x, s.y, MOUSE_DOWN);
}

void CZTBoardWorkIRQ::OnPressT()
{
    ScreenPoint s = ToScreen(m_x, m_y);
    m_iScreenX = s.x;
    m_iScreenY = s.y;
    if (m_model.bPressBounds &&
        (s.x <= 0 || s.x >= m_iScreenWidth || s.y <= 0 || s.y >= m_iScreenHeight))
        return;
    if (!m_bSizeReport && !m_bGesture) {
        PressDown(s);
        return;
    }
    // Counting stops past the third sample: nothing after it depends on the
    // number.
    if (m_iSampleCount <= 3)
        ++m_iSampleCount;
    if (m_iSampleCount <= 2) {
        m_ptHeld[m_iSampleCount - 1] = s;
        return;
    }
    if (m_iSampleCount > 3) {
        PressDown(s);
        return;
    }
    ClassifyStroke(StrokeSize());
    m_bNewStroke = false;
    PressDown(m_ptHeld[0]);
    PressDown(m_ptHeld[1]);
    PressDown(s);
}

int CZTBoardWorkIRQ::StrokeSize() const
{
    int sum = RecordW(0) + RecordH(0);
    if (m_model.bTwoRecordSize && Status(1) == kStatusTouching)
        sum += RecordW(1) + RecordH(1);
    return sum / 2;
}

void CZTBoardWorkIRQ::ClassifyStroke(int size)
{
    int v = (int)(m_model.fClassifyScale * size);
    if (m_bSizeReport) {
        if (m_model.sizeReport == IRQSizeReport::ScaledFifth) {
            ZTPrintLine("%d", v);
            Advise(v / 5);
        } else {
            Advise(size);
        }
        return;
    }
    if (!m_bGesture)
        return;
    if (v < m_iValue1)
        SendStrokeWord(STROKE_PEN);
    else if (v <= m_iValue2)
        SendStrokeWord(STROKE_MOUSE);
    else
        SendStrokeWord(STROKE_ERASER);
}

void CZTBoardWorkIRQ::SendStrokeWord(int kind)
{
    bool online = g_bSoftOnline;
    if (kind == STROKE_ERASER) {
        if (!m_model.bOnlineRules) {
            ZTHost()->PostAppCommand(0);
            Send("earh");
        } else if (online) {
            Send("earh");
        } else {
            ZTHost()->PostAppCommand(0);
        }
        return;
    }
    if (online || !m_model.bOnlineRules)
        Send(kind == STROKE_PEN ? "pend" : "moue");
}

void CZTBoardWorkIRQ::Advise(int value)
{
    ZTHost()->AdviseData(wxString::Format("%i", value));
}

void CZTBoardWorkIRQ::Send(const char* pWord)
{
    ZTHost()->OnSend(pWord, 4);
}

void CZTBoardWorkIRQ::OnReleaseT()
{
    if (m_pOrient) {
        m_pOrient->m_nRecvCount = 0;
        m_pOrient->m_bWaitUp = false;
    }
    m_bKeyDown1 = 0;
    m_pMouse->MouseEvent(m_iScreenX, m_iScreenY, MOUSE_UP);
    m_bNewStroke = true;
    m_iSampleCount = 0;
}

void CZTBoardWorkIRQ::OnPressS()
{
    ScreenPoint s = ToScreen(m_x2, m_y2);
    m_iScreenX2 = s.x;
    m_iScreenY2 = s.y;
    m_pMouse->DualMouseEvent(s.x, s.y, MOUSE_DOWN);
    m_bPeerDown = true;
}

void CZTBoardWorkIRQ::OnReleaseS()
{
    m_pMouse->DualMouseEvent(m_iScreenX2, m_iScreenY2, MOUSE_UP);
    m_bKeyDown2 = 0;
    m_bPeerDown = false;
}

// ---------------------------------------------------------------- calibration

void CZTBoardWorkIRQ::PauseUnlessEnding(int ms)
{
    for (int waited = 0; waited < ms && !TestDestroy(); waited += 50)
        wxMilliSleep(50);
}

void CZTBoardWorkIRQ::OnOrient()
{
    if (!m_pOrient)
        return;
    if (m_is[0] == 0) {
        m_pOrient->m_nRecvCount = 0;
        m_pOrient->m_bWaitUp = false;
        return;
    }
    m_x = m_ix[0];
    m_y = m_iy[0];
    if (!m_pOrient->AddSample(m_ix[0], m_iy[0]))
        return;
    int state = m_state.load();
    if (m_model.bOrientLog)
        ZTPrintLine("....return true");
    PauseUnlessEnding(1000);
    ScreenPoint s = ToScreen(m_x, m_y);
    m_iScreenX = s.x;
    m_iScreenY = s.y;
    m_pMouse->MouseEvent(s.x, s.y, MOUSE_MOVE);
    PauseUnlessEnding(2000);
    if (state == 1) {
        m_pConversion->Update();
    } else if (state == 2 && m_pSidekey) {
        m_pSidekey->LoadConfig();
        m_pSidekey->CalcPointSize();
    }
    m_state = 0;
}

// ---------------------------------------------------------------- dual split

void CZTBoardWorkIRQ::Local(const BoardPoint& p)
{
    m_x = p.x;
    m_y = p.y;
    OnPressT();
}

void CZTBoardWorkIRQ::Peer(const BoardPoint& p)
{
    m_x2 = p.x;
    m_y2 = p.y;
    OnPressS();
}

void CZTBoardWorkIRQ::OnDualSplit()
{
    int mid = m_iMid > 0 ? m_iMid.load() : m_pConversion->m_nScreenWidth / 2;
    bool a = m_is[0] == kStatusTouching, b = m_is[1] == kStatusTouching;
    BoardPoint pa, pb;
    if (a) {
        pa.x = m_ix[0];
        pa.y = m_iy[0];
    }
    if (b) {
        pb.x = m_ix[1];
        pb.y = m_iy[1];
    }
    int sA = m_pConversion->Convert(&pa).x;
    int sB = m_pConversion->Convert(&pb).x;
    bool aUp = m_is[0] == 0, bUp = m_is[1] == 0;

    if (a && b) {
        if (sA <= mid && sB > mid) {
            Local(pa);
            Peer(pb);
        } else if (sA > mid && sB < mid) {
            Local(pb);
            Peer(pa);
        } else if (sA > mid && sB == mid) {
            Local(pa);
            Peer(pb);
        } else if (sA <= mid) {
            OnReleaseT(); // both on the local side
        } else {
            OnReleaseS(); // both on the peer's side
        }
    } else if (a) {
        if (sA < mid - kSplitBand) {
            Local(pa);
            if (bUp)
                OnReleaseS();
        } else if (sA > mid + kSplitBand) {
            if (bUp)
                OnReleaseT();
            Peer(pa);
        }
    } else if (b) {
        if (sB <= mid) {
            Local(pb);
            if (aUp)
                OnReleaseS();
        } else {
            if (aUp)
                OnReleaseT();
            Peer(pb);
        }
    } else if (sB <= mid) {
        if (bUp)
            OnReleaseT();
        if (aUp)
            OnReleaseS();
    } else {
        if (aUp)
            OnReleaseT();
        if (bUp)
            OnReleaseS();
    }
}

// ---------------------------------------------------------------- dual full

void CZTBoardWorkIRQ::OnMultiTouch()
{
    if (m_pData[1] == 0) {
        m_bKeyDown1 = 0;
        m_bNewStroke = true;
    }
    if (!CollectFrame())
        return;
    TrackAndDeliver(true);
}

bool CZTBoardWorkIRQ::CollectFrame()
{
    switch (m_model.records) {
    case IRQRecordSource::PointCount:
        StartFrame();
        AddRecords(m_iPointCount);
        return true;
    case IRQRecordSource::AllRecords:
        StartFrame();
        AddRecords(kRecords);
        return true;
    case IRQRecordSource::FrameCount:
        return CollectCountedFrame();
    }
    return false;
}

bool CZTBoardWorkIRQ::CollectCountedFrame()
{
    int c = m_pData[m_model.nCountByte];
    if (c <= kRecords) {
        m_iFrameReports = -1;
        StartFrame();
        AddRecords(c);
        return true;
    }
    // Every report of a frame carries the frame's count; a different count
    // means the rest of the previous frame was lost: start over.
    if (m_iFrameReports == -1 || c != m_iFrameCount) {
        m_iFrameReports = c / kRecords;
        m_iFrameCount = c;
        StartFrame();
    }
    if (m_iFrameReports > 0) {
        --m_iFrameReports;
        AddRecords(kRecords);
        return false;
    }
    m_iFrameReports = -1;
    AddRecords(c % kRecords);
    return true;
}

void CZTBoardWorkIRQ::StartFrame()
{
    m_vecPoints.clear();
    m_iFrameStatus0 = Status(0);
    m_iFrameSize = (RecordW(0) + RecordH(0)) / 2;
}

bool CZTBoardWorkIRQ::InArea(const ScreenPoint& s) const
{
    if (m_model.bInclusiveArea)
        return s.x >= 0 && s.x <= m_iScreenWidth && s.y >= 0 && s.y <= m_iScreenHeight;
    return s.x > 0 && s.x < m_iScreenWidth && s.y > 0 && s.y < m_iScreenHeight;
}

void CZTBoardWorkIRQ::AddRecords(int n)
{
    n = std::min(n, (int)kRecords);
    for (int k = 0; k < n; ++k) {
        if (Status(k) != kStatusTouching)
            continue;
        ScreenPoint s = ToScreen(RecordX(k), RecordY(k));
        m_iScreenX = s.x;
        m_iScreenY = s.y;
        // The tracker's work space holds a bounded number of points; a
        // corrupt contact count must not overrun it.
        if (InArea(s) && m_vecPoints.size() < (size_t)CTouchTracker::kMaxPoints)
            m_vecPoints.push_back(TrackPoint(s.x, s.y, 1, 0, 0));
    }
}

void CZTBoardWorkIRQ::TrackAndDeliver(bool bReportSize)
{
    m_tracker.Track(m_vecPoints);
    m_bTrackerLive = false;
    for (const TrackPoint& p : m_vecPoints)
        if (p.state == 1)
            m_bTrackerLive = true;
    TakePointerSlot();
    if (bReportSize && m_iFrameStatus0 != 0)
        ReportContactSize(m_iFrameSize);
    for (const TrackPoint& p : m_vecPoints)
        DeliverContact(p);
    m_vecPoints.clear();
}

int CZTBoardWorkIRQ::SlotLimit() const
{
    if (m_model.records == IRQRecordSource::PointCount)
        return std::min(m_iPointCount.load(), m_model.nSlots);
    return m_model.nSlots;
}

bool CZTBoardWorkIRQ::HeldBySlot(int id) const
{
    for (int k = 1; k < SlotLimit(); ++k)
        if (m_iTouchId[k] == id)
            return true;
    return false;
}

void CZTBoardWorkIRQ::TakePointerSlot()
{
    if (m_iTouchId[0] != -1)
        return;
    for (const TrackPoint& p : m_vecPoints) {
        if (!HeldBySlot(p.id)) {
            m_iTouchId[0] = p.id;
            return;
        }
        if (m_model.bSlot0FirstOnly)
            return;
    }
}

int CZTBoardWorkIRQ::FindSlot(int id) const
{
    int n = SlotLimit();
    for (int k = 1; k < n; ++k)
        if (m_iTouchId[k] == id)
            return k;
    for (int k = 1; k < n; ++k)
        if (m_iTouchId[k] == -1)
            return k;
    return -1;
}

void CZTBoardWorkIRQ::DeliverContact(const TrackPoint& p)
{
    int x = (int)p.GetX(), y = (int)p.GetY();
    if (p.id == m_iTouchId[0]) {
        m_iScreenX = x;
        m_iScreenY = y;
        if (p.state == 1) {
            m_pMouse->MouseEvent(x, y, MOUSE_DOWN);
        } else if (p.state == 0) {
            OnReleaseT();
            Send("ssup");
            m_iTouchId[0] = -1;
        }
        return;
    }
    int k = FindSlot(p.id);
    if (k < 0)
        return;
    int event;
    if (p.state == 1) {
        m_iTouchId[k] = p.id;
        event = m_bTouchStarted[k] ? TOUCH_MOVE : TOUCH_BEGIN;
        m_bTouchStarted[k] = 1;
    } else {
        m_iTouchId[k] = -1;
        m_bTouchStarted[k] = 0;
        event = TOUCH_END;
    }
    m_ptSlot[k].x = x;
    m_ptSlot[k].y = y;
    ZTHost()->SendDualData(k, event, x, y);
}

void CZTBoardWorkIRQ::ReportContactSize(int size)
{
    if (!(m_bSizeReport || m_bGesture) || !m_bNewStroke)
        return;
    if (m_bSizeReport) {
        Advise(size);
    } else if (m_model.fPenScale * size < m_iValue1) {
        ZTPrintLine("****pen****");
        Send("pend");
    } else if (m_model.fEraserScale * size > m_iValue2) {
        ZTPrintLine("earh");
        ZTHost()->PostAppCommand(0);
        Send("earh");
    } else {
        ZTPrintLine("****mouse****");
        Send("moue");
    }
    m_bNewStroke = false;
}
