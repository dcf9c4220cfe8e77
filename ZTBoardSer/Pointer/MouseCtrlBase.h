// Pointer output: turns the converted samples of one board into pointer
// events. The state machines and filters live here; a platform supplies the
// six primitive requests.
#pragma once
#include <wx/string.h>
#include "Common.h"

class CMouseCtrlBase {
public:
    explicit CMouseCtrlBase(const wxString& strWorkType);
    virtual ~CMouseCtrlBase();

    // The six primitive requests of a platform; each takes effect at once.
    virtual int LeftDown() = 0;
    virtual int RightDown() = 0;
    virtual int LeftUp() = 0;
    virtual int RightUp() = 0;
    virtual int LeftDownEx() = 0;
    virtual int MoveTo(int x, int y) = 0;

    // LIMIT_COUNT, LIMIT_MOVE, RC1 and RC2 of the work type's "Constants".
    void LoadConstants();

    // Entry points, one call per sample; nType is a MouseEventType.
    void MouseEvent(int x, int y, int nType);
    void FilterMouseEvent(int x, int y, int nType);   // with the jitter filter
    void SmoothMouseEvent(int x, int y, int nType);   // with the two-stage smoother
    void DualMouseEvent(int x, int y, int nType);     // second pointer, to the peer

    // Whether the left button is down for the current contact.
    bool IsPressed() const { return m_bPressed; }

    // Still samples before a right click, and how far (pixels) a sample may
    // lie from the landing point and still count as still.
    int GetLimitCount() const { return m_nLimitCount; }
    int GetLimitMove() const { return m_nLimitMove; }

    // Drag smoothing weights of the new sample and of the last sent point;
    // board classes may change them between calls.
    float m_fRC1;
    float m_fRC2;

    // Right-click sequence: pauses between its three requests.
    static constexpr int kRightClickPauseUs = 500;
    // Dual-screen taps: a second tap released within this many milliseconds
    // of the first makes a double click.
    static constexpr int kDoubleTapMs = 500;
    // Dual-screen contacts held still longer than this many samples are no
    // longer taps.
    static constexpr int kTapMaxSamples = 20;

protected:
    // Milliseconds of the local clock; a test replaces it to control time.
    virtual long long NowMs() const;

    void RightClickSequence();
    void PlainEvent(int x, int y, int nType);
    // Counts a sample lying within LIMIT_MOVE of pDown; returns whether it
    // did.
    bool CountStill(int x, int y, const ScreenPoint& ptDown, int* pCount) const;
    // Hold-to-right-click of the local pointer; bNeedLimit: only with a
    // positive LIMIT_COUNT.
    void CheckHold(bool bNeedLimit);
    void FirstDown(int x, int y);
    void ReleaseLeft(int x, int y);
    ScreenPoint Blend(int x, int y, const ScreenPoint& ptLast) const;

    void JitterFilter(int x, int y);
    void JitterSmooth(int x, int y);
    void EmitSmoothed(int x, int y);
    void ResetJitter();

    void DualDown(int x, int y);
    void DualUp(int x, int y);

    // Jitter filter (FilterMouseEvent).
    int m_nFilterCount;
    int m_nFilterCycle;
    int m_nAvgPhase;
    ScreenPoint m_ptFilterRef;
    ScreenPoint m_ptGroupFirst;
    ScreenPoint m_ptGroupLast;
    int m_bStationary;
    ScreenPoint m_ptAvg;
    int m_nSmoothState;
    ScreenPoint m_ptSmoothOut;
    ScreenPoint m_ptHist1;
    ScreenPoint m_ptHist2;

    wxString m_strWorkType;

    // Local pointer.
    ScreenPoint m_ptLast;
    ScreenPoint m_ptDown;
    int m_nLimitCount;
    int m_nLimitMove;
    bool m_bPressed;
    bool m_bRightDone;
    int m_nHoldCount;

    // Second pointer (dual-screen peer).
    ScreenPoint m_ptDualLast;
    ScreenPoint m_ptDualDown;
    bool m_bDualPressed;
    bool m_bDualRightDone;
    int m_nDualHoldCount;
    bool m_bDualStill;
    bool m_bTapSeen;
    ScreenPoint m_ptLastTap;

    // Written by every release, local or dual: the dual-screen double-tap
    // test measures from the last release of either pointer.
    long long m_nReleaseTime;
    ScreenPoint m_ptRelease;
};
