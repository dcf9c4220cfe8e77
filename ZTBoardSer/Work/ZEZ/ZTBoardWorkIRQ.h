// Multi-touch infrared frames that report like a HID multi-touch digitizer:
// 64-byte reports of six contact records. CZTBoardWorkIRQ is the ZEZ frame
// and the pipeline of the whole family; the other models differ only by
// their row of IRQModel.
//
// Three ways of using a frame: common mode (one pointer, with stroke
// classification by contact size), dual-split mode (left of a vertical line
// the local pointer, right of it the dual-screen peer's pointer) and
// dual-full mode (every contact through the tracker; the first drives the
// local pointer, the others go to the peer as touch records).
#pragma once
#include <atomic>
#include <vector>

#include "Track/TouchTracker.h"
#include "Work/ZEZ/IRQModel.h"
#include "Work/ZTBoardWorkBase.h"

class CZTBoardWorkIRQ : public CZTBoardWorkBase {
public:
    static constexpr int kReportLen = 64;
    static constexpr int kRecords = 6;
    static constexpr int kRecordLen = 10;
    static constexpr int kStatusTouching = 7;
    // Half width of the band around the split line in which a lone contact
    // moves neither pointer.
    static constexpr int kSplitBand = 9;

    CZTBoardWorkIRQ();

    ExitCode Entry() override;
    void SetPointCount(int n) override;
    bool InitWork(CDeviceBase* pDev) override;
    bool CheckData() override { return true; }
    int GetDataType() override { return 10; }
    bool ParseData() override;
    int ReadData(unsigned char* pBuf, int nLen) override;
    int WriteData(const unsigned char* pBuf, int nLen) override;
    int SendWorkMode() override;
    bool ReadDriverSet() override;
    void OnOrient() override;
    void OnCommon() override;
    void OnDualFull() override { OnMultiTouch(); }
    void OnDualSplit() override;
    void OnPressT() override;
    void OnPressS() override;
    void OnReleaseT() override;
    void OnReleaseS() override;
    bool SetWorkMode(int nCmd, int nMid) override;

    bool CheckKeyReport();
    void OnMultiTouch();
    void ReportContactSize(int size);

    const IRQModel& Model() const { return m_model; }

    // SetWorkMode, SetPointCount and ReadDriverSet (command 5) run on the
    // callers' threads (driver IPC server, companion socket, hot-plug
    // watcher) while the worker reads these per report: atomics, so that the
    // worker sees each new value whole at its next report.
    std::atomic<int> bKeyPen;
    std::atomic<int> m_bGesture;
    std::atomic<bool> m_bSizeReport;
    std::atomic<int> m_iValue1;
    std::atomic<int> m_iValue2;
    std::atomic<int> m_iMid;
    std::atomic<int> m_iPointCount;

    // Worker thread only from here on.
    bool m_bNewStroke;
    int m_iSampleCount;
    ScreenPoint m_ptHeld[2];
    int m_is[2], m_ix[2], m_iy[2];
    int m_iScreenWidth, m_iScreenHeight;
    double m_x2, m_y2;
    int m_iScreenX2, m_iScreenY2;
    int m_iTouchId[kIRQMaxSlots];
    std::vector<TrackPoint> m_vecPoints;
    CTouchTracker m_tracker;
    int m_iFrameReports;
    int m_bTouchStarted[kIRQMaxSlots];

protected:
    explicit CZTBoardWorkIRQ(const IRQModel& model);

    // One read's result: a full report goes through the pipeline; a time-out
    // (0) or a failed read (-1: unplugged) releases whatever is still down,
    // because a touched frame reports continuously and its lift report is
    // then lost; a failed read also pauses, so that the loop never spins.
    void OnReadResult(int nRead);
    void HandleReport();
    void ReleaseContacts() override;
    bool AnythingDown() const;

    // Report fields.
    int Status(int k) const { return m_pData[1 + kRecordLen * k]; }
    int Word(int offset) const { return m_pData[offset] | (m_pData[offset + 1] << 8); }
    int RecordX(int k) const { return Word(3 + kRecordLen * k); }
    int RecordY(int k) const { return Word(5 + kRecordLen * k); }
    int RecordW(int k) const { return Word(7 + kRecordLen * k); }
    int RecordH(int k) const { return Word(9 + kRecordLen * k); }

private:
    void LogEntry();
    void DumpReport();
    int CurrentMode() const;
    bool OnPenTray();
    void ReadKeyPen();
    void PauseUnlessEnding(int ms);

    ScreenPoint ToScreen(double x, double y);
    void Local(const BoardPoint& p);
    void Peer(const BoardPoint& p);
    void PressDown(const ScreenPoint& s);

    int StrokeSize() const;
    void ClassifyStroke(int size);
    void SendStrokeWord(int kind);
    void Advise(int value);
    void Send(const char* pWord);

    bool CollectFrame();
    bool CollectCountedFrame();
    void StartFrame();
    void AddRecords(int n);
    bool InArea(const ScreenPoint& s) const;
    void TrackAndDeliver(bool bReportSize);
    int SlotLimit() const;
    bool HeldBySlot(int id) const;
    void TakePointerSlot();
    int FindSlot(int id) const;
    void DeliverContact(const TrackPoint& p);
    void FinishTouches();

    const IRQModel& m_model;
    // Contact state beyond the pointer object's own: whether the peer's
    // pointer is down, whether the tracker still holds live contacts, and
    // where each touch slot was last seen (its end record goes there).
    bool m_bPeerDown;
    bool m_bTrackerLive;
    ScreenPoint m_ptSlot[kIRQMaxSlots];
    // The frame being collected over several reports: its count, and the
    // status and size of record 0 of its first report.
    int m_iFrameCount;
    int m_iFrameStatus0;
    int m_iFrameSize;
    // Mode of the previous report (0 common, 1 split, 2 full, 3 calibration):
    // contacts of one mode are finished before another mode takes over.
    int m_nLastMode;
    // Diagnostics once per streak, not once per read.
    bool m_bReadFailing;
    bool m_bShortReported;
};
