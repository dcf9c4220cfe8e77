// The calibration ("orientation") run: measures the board positions of the
// calibration program's targets, or of four reference points of the side-key
// strips, and stores them in the configuration file.
#pragma once
#include <wx/string.h>

#include <atomic>
#include <mutex>

enum { ORIENT_SCREEN = 1, ORIENT_HOTKEY = 2 };

class COrientProcess {
public:
    static constexpr int kMaxPoints = 30;
    static constexpr int kMaxSamples = 200;
    // The reduction drops the two extremes of each axis, so it needs three.
    static constexpr int kMinSamples = 3;
    static constexpr int kKeyCount = 28;
    static constexpr int kKeysPerStrip = 14;

    explicit COrientProcess(const wxString& strWorkType);
    virtual ~COrientProcess();

    // Begins a run of nPointNum points in mode ORIENT_SCREEN or
    // ORIENT_HOTKEY; abandons any run in progress.
    void StartOrient(int nPointNum, int nMode);
    // One raw board sample; true exactly once, when the last point of the
    // run has been stored.
    bool AddSample(int x, int y);

    // Number of samples dropped at the start of each point for a work type.
    static int SkipCount(const wxString& strWorkType);

    int m_nPointNum;
    int m_nCurPoint;
    double m_point[kMaxPoints][2];
    int m_sample[kMaxSamples][2];
    int m_nMode;
    wxString m_strWorkType;
    wxString m_strSection;
    int m_nRecvDataSize;
    int m_nSkip;
    // The board classes reset these two when the contact lifts, on the
    // worker thread or (release timer) on the main thread: atomics, so that
    // a reset is never half seen.
    std::atomic<int> m_nRecvCount;
    std::atomic<bool> m_bWaitUp;

private:
    struct Run {
        int nMode;
        int nPointNum;
        double point[kMaxPoints][2];
    };

    int ReadRecvDataSize() const;
    void ReducePoint();
    void Save(const Run& run) const;
    void SaveScreen(const Run& run) const;
    void SaveHotkeys(const Run& run) const;
    static void PrintPoint(double x, double y);

    // StartOrient arrives from the driver IPC server on the main thread while
    // the worker thread feeds samples: the lock keeps a restart from meeting
    // a half-collected point. It is never held while the file is written.
    std::mutex m_lock;
};
