#include "MouseCtrlBase.h"

#include "App/ZTBoardHost.h"
#include "ConfigXML.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <wx/time.h>

namespace {

// Pointer messages to the dual-screen peer.
enum { DUAL_PRESS = 0, DUAL_MOVE = 1, DUAL_RELEASE = 2, DUAL_DOUBLE = 3 };

// Defaults when the configuration file cannot be loaded.
const int kDefaultLimitCount = 120;
const int kDefaultLimitMove = 3;
const float kDefaultRC1 = 0.4f;
const float kDefaultRC2 = 0.6f;

// Jitter filter: a cycle of ten samples decides whether the pen stands still
// (within this many pixels of the cycle's first sample).
const int kFilterCycle = 10;
const int kStationaryRange = 19;
const double kJitterWeight = 0.5;

// The two exponential stages of SmoothMouseEvent. They belong to the process,
// not to a pointer object: only one worker thread, and so one pointer object,
// exists at a time and only that thread calls it, so no lock is needed.
struct SmoothStage {
    bool bActive = false;
    ScreenPoint pt;
};
SmoothStage s_stage1;
SmoothStage s_stage2;
const double kStage1Weight = 0.2;
const double kStage2Weight = 0.5;

ScreenPoint Stage(SmoothStage& st, double w, ScreenPoint p)
{
    if (st.bActive) {
        p.x = (int)(w * p.x + (1 - w) * st.pt.x);
        p.y = (int)(w * p.y + (1 - w) * st.pt.y);
    }
    st.bActive = true;
    st.pt = p;
    return p;
}

ScreenPoint SmoothStages(ScreenPoint p)
{
    if (!s_stage1.bActive)
        return Stage(s_stage1, kStage1Weight, p);
    return Stage(s_stage2, kStage2Weight, Stage(s_stage1, kStage1Weight, p));
}

void ResetSmoothStages()
{
    s_stage1.bActive = false;
    s_stage2.bActive = false;
}

// Combines the first and the fourth sample of a group, per axis, in integer
// arithmetic as the filter has always done.
int Combine(int a, int b) { return (a + b) / 2 + std::abs(a - b) / 2; }

ScreenPoint Pt(int x, int y)
{
    ScreenPoint p;
    p.x = x;
    p.y = y;
    return p;
}

} // namespace

CMouseCtrlBase::CMouseCtrlBase(const wxString& strWorkType)
    : m_fRC1(0), m_fRC2(0), m_nFilterCount(0), m_nFilterCycle(0), m_nAvgPhase(0),
      m_bStationary(0), m_nSmoothState(0), m_strWorkType(strWorkType), m_nLimitCount(0),
      m_nLimitMove(0), m_bPressed(false), m_bRightDone(false), m_nHoldCount(0),
      m_bDualPressed(false), m_bDualRightDone(false), m_nDualHoldCount(0), m_bDualStill(false),
      m_bTapSeen(false), m_nReleaseTime(0)
{
    // A new pointer object means a new board session: smoothing must not
    // blend its first drag with the last point of the previous board.
    ResetSmoothStages();
}

CMouseCtrlBase::~CMouseCtrlBase() {}

long long CMouseCtrlBase::NowMs() const { return wxGetLocalTimeMillis().GetValue(); }

void CMouseCtrlBase::LoadConstants()
{
    m_nLimitCount = 0;
    m_nLimitMove = 0;
    m_fRC1 = 0;
    m_fRC2 = 0;
    CConfigXML cfg;
    if (!cfg.Load(ZT_CONFIG_FILE)) {
        m_nLimitCount = kDefaultLimitCount;
        m_nLimitMove = kDefaultLimitMove;
        m_fRC1 = kDefaultRC1;
        m_fRC2 = kDefaultRC2;
        return;
    }
    std::string section(m_strWorkType.utf8_str());
    cfg.GetInt(section.c_str(), "Constants", "LIMIT_COUNT", &m_nLimitCount, 0);
    cfg.GetInt(section.c_str(), "Constants", "LIMIT_MOVE", &m_nLimitMove, 0);
    // One buffer for both weights: a missing RC2 leaves RC1's text in it, so
    // RC2 then takes RC1's value.
    char buf[20];
    memset(buf, 0, sizeof buf);
    cfg.GetStr(section.c_str(), "Constants", "RC1", buf, sizeof buf);
    m_fRC1 = (float)strtod(buf, nullptr);
    cfg.GetStr(section.c_str(), "Constants", "RC2", buf, sizeof buf);
    m_fRC2 = (float)strtod(buf, nullptr);
}

void CMouseCtrlBase::RightClickSequence()
{
    LeftUp();
    usleep(kRightClickPauseUs);
    RightDown();
    usleep(kRightClickPauseUs);
    RightUp();
}

bool CMouseCtrlBase::CountStill(int x, int y, const ScreenPoint& ptDown, int* pCount) const
{
    if (std::abs(x - ptDown.x) < m_nLimitMove && std::abs(y - ptDown.y) < m_nLimitMove) {
        ++*pCount;
        return true;
    }
    return false;
}

void CMouseCtrlBase::CheckHold(bool bNeedLimit)
{
    if (m_nLimitCount < m_nHoldCount && !m_bRightDone && (!bNeedLimit || m_nLimitCount > 0)) {
        m_bRightDone = true;
        m_nHoldCount = 0;
        RightClickSequence();
    }
}

void CMouseCtrlBase::FirstDown(int x, int y)
{
    m_ptDown = Pt(x, y);
    m_ptLast = m_ptDown;
    MoveTo(x, y);
    LeftDown();
    m_bPressed = true;
}

void CMouseCtrlBase::ReleaseLeft(int x, int y)
{
    m_nHoldCount = 0;
    if (m_bPressed) {
        LeftUp();
        m_ptRelease = Pt(x, y);
        m_nReleaseTime = NowMs();
    }
    m_bPressed = false;
    m_bRightDone = false;
}

ScreenPoint CMouseCtrlBase::Blend(int x, int y, const ScreenPoint& ptLast) const
{
    return Pt((int)(m_fRC1 * x + m_fRC2 * ptLast.x), (int)(m_fRC1 * y + m_fRC2 * ptLast.y));
}

// The event types that need no contact state, alike on every local path.
void CMouseCtrlBase::PlainEvent(int x, int y, int nType)
{
    switch (nType) {
    case MOUSE_RCLICK:
        RightClickSequence();
        break;
    case MOUSE_CLICK:
        LeftDown();
        LeftUp();
        break;
    case MOUSE_MOVE:
        MoveTo(x, y);
        break;
    default:
        break;
    }
}

void CMouseCtrlBase::MouseEvent(int x, int y, int nType)
{
    switch (nType) {
    case MOUSE_UP:
        ReleaseLeft(x, y);
        break;
    case MOUSE_DOWN:
        if (!m_bPressed) {
            FirstDown(x, y);
            break;
        }
        CountStill(x, y, m_ptDown, &m_nHoldCount);
        CheckHold(true);
        m_ptLast = Blend(x, y, m_ptLast);
        MoveTo(m_ptLast.x, m_ptLast.y);
        break;
    case MOUSE_REPRESS:
        if (m_bPressed) {
            LeftUp();
            LeftDown();
        }
        break;
    default:
        PlainEvent(x, y, nType);
        break;
    }
}

void CMouseCtrlBase::ResetJitter()
{
    m_nSmoothState = 0;
    m_nFilterCount = 0;
    m_nAvgPhase = 0;
    m_nFilterCycle = 0;
}

void CMouseCtrlBase::FilterMouseEvent(int x, int y, int nType)
{
    if (nType == MOUSE_UP) {
        ReleaseLeft(x, y);
        ResetJitter();
        return;
    }
    if (nType != MOUSE_DOWN || !m_bPressed) {
        MouseEvent(x, y, nType);
        return;
    }
    CountStill(x, y, m_ptDown, &m_nHoldCount);
    CheckHold(true);
    JitterFilter(x, y);
}

void CMouseCtrlBase::JitterFilter(int x, int y)
{
    if (m_nFilterCount == 0) {
        // The first dragged sample moves unfiltered.
        m_nFilterCount = 1;
        MoveTo(x, y);
        ++m_nFilterCycle;
        return;
    }
    if (m_nFilterCycle == 1)
        m_ptFilterRef = Pt(x, y);
    if (m_nFilterCycle == kFilterCycle) {
        m_nFilterCycle = 0;
        int dx = x - m_ptFilterRef.x, dy = y - m_ptFilterRef.y;
        m_bStationary = dx >= -kStationaryRange && dx <= kStationaryRange &&
                        dy >= -kStationaryRange && dy <= kStationaryRange;
    }
    if (!m_bStationary) {
        m_nAvgPhase = 0;
        JitterSmooth(x, y);
        ++m_nFilterCycle;
        return;
    }
    // Standing still: only every fourth sample moves the pointer, to the
    // combination of the group's first and last sample.
    switch (m_nAvgPhase) {
    case 0:
        m_ptGroupFirst = Pt(x, y);
        m_nAvgPhase = 1;
        break;
    case 1:
    case 2:
        ++m_nAvgPhase;
        break;
    default:
        m_ptGroupLast = Pt(x, y);
        m_ptAvg = Pt(Combine(m_ptGroupFirst.x, x), Combine(m_ptGroupFirst.y, y));
        JitterSmooth(m_ptAvg.x, m_ptAvg.y);
        m_nAvgPhase = 0;
        break;
    }
    ++m_nFilterCycle;
}

void CMouseCtrlBase::JitterSmooth(int x, int y)
{
    const double w = kJitterWeight, g = (1 - kJitterWeight) / 2;
    switch (m_nSmoothState) {
    case 0:
        EmitSmoothed(x, y);
        m_ptHist2 = Pt(x, y);
        m_nSmoothState = 1;
        break;
    case 1:
        EmitSmoothed((int)(w * x + (1 - w) * m_ptHist2.x), (int)(w * y + (1 - w) * m_ptHist2.y));
        m_ptHist1 = Pt(x, y);
        m_nSmoothState = 2;
        break;
    default: {
        ScreenPoint q = Pt((int)(w * x + g * m_ptHist1.x + g * m_ptHist2.x),
                           (int)(w * y + g * m_ptHist1.y + g * m_ptHist2.y));
        EmitSmoothed(q.x, q.y);
        m_ptHist2 = m_ptHist1;
        m_ptHist1 = q;
        break;
    }
    }
}

void CMouseCtrlBase::EmitSmoothed(int x, int y)
{
    m_ptSmoothOut = Pt(x, y);
    MoveTo(x, y);
}

void CMouseCtrlBase::SmoothMouseEvent(int x, int y, int nType)
{
    switch (nType) {
    case MOUSE_UP:
        if (m_bPressed) {
            m_bPressed = false;
            LeftUp();
            ResetSmoothStages();
            m_ptRelease = Pt(x, y);
            m_nReleaseTime = NowMs();
        }
        m_nHoldCount = 0;
        m_bPressed = false;
        m_bRightDone = false;
        break;
    case MOUSE_DOWN:
        if (!m_bPressed) {
            m_ptDown = Pt(x, y);
            MoveTo(x, y);
            LeftDown();
            m_bPressed = true;
            break;
        }
        CountStill(x, y, m_ptDown, &m_nHoldCount);
        // Unlike the other paths, a zero LIMIT_COUNT right-clicks at the
        // first still sample.
        CheckHold(false);
        {
            ScreenPoint p = SmoothStages(Pt(x, y));
            MoveTo(p.x, p.y);
        }
        break;
    default:
        PlainEvent(x, y, nType);
        break;
    }
}

void CMouseCtrlBase::DualDown(int x, int y)
{
    CZTBoardHost* host = ZTHost();
    if (!m_bDualPressed) {
        m_ptDualDown = Pt(x, y);
        m_ptDualLast = m_ptDualDown;
        host->SendDualPoint(DUAL_MOVE, x, y);
        host->SendDualPoint(DUAL_PRESS, x, y);
        m_bDualPressed = true;
        return;
    }
    // Stillness is judged on the latest sample; a long hold is no tap.
    m_bDualStill = CountStill(x, y, m_ptDualDown, &m_nDualHoldCount);
    if (m_nDualHoldCount > kTapMaxSamples)
        m_bDualStill = false;
    if (m_nLimitCount < m_nDualHoldCount && !m_bDualRightDone && m_nLimitCount > 0) {
        m_bDualRightDone = true;
        m_nDualHoldCount = 0;
    }
    m_ptDualLast = Blend(x, y, m_ptDualLast);
    host->SendDualPoint(DUAL_MOVE, m_ptDualLast.x, m_ptDualLast.y);
}

void CMouseCtrlBase::DualUp(int x, int y)
{
    if (!m_bDualPressed)
        return;
    CZTBoardHost* host = ZTHost();
    m_bDualPressed = false;
    m_bDualRightDone = false;
    m_nDualHoldCount = 0;
    host->SendDualPoint(DUAL_RELEASE, m_ptDualLast.x, m_ptDualLast.y);
    if (m_bDualStill) {
        long long now = NowMs();
        if (now - m_nReleaseTime >= kDoubleTapMs || !m_bTapSeen)
            ZTPrintLine("single click");
        else if (std::abs(m_ptLastTap.x - m_ptDualDown.x) < 4 * m_nLimitMove &&
                 std::abs(m_ptLastTap.y - m_ptDualDown.y) < 4 * m_nLimitMove)
            host->SendDualPoint(DUAL_DOUBLE, x, y);
        m_bTapSeen = true;
        m_nReleaseTime = now;
        m_ptLastTap = m_ptDualDown;
    }
    m_bDualStill = false;
}

void CMouseCtrlBase::DualMouseEvent(int x, int y, int nType)
{
    switch (nType) {
    case MOUSE_DOWN:
        DualDown(x, y);
        break;
    case MOUSE_UP:
        DualUp(x, y);
        break;
    case MOUSE_CLICK:
        ZTHost()->SendDualPoint(DUAL_PRESS, x, y);
        ZTHost()->SendDualPoint(DUAL_RELEASE, x, y);
        break;
    case MOUSE_MOVE:
        ZTHost()->SendDualPoint(DUAL_MOVE, x, y);
        break;
    default:
        break;
    }
}
