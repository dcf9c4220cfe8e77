// Gives the contacts of successive frames stable ids: each frame's points are
// matched to the previous frame's by an optimal assignment that prefers points
// lying where a contact was heading; new contacts get fresh ids and contacts
// that disappeared are reported once.
#pragma once
#include <vector>

struct TrackPoint {
    TrackPoint(double px = 0, double py = 0, int nState = 1, int nRes1 = 0, int nRes2 = 0)
        : x(px), y(py), state(nState), reserved1(nRes1), reserved2(nRes2) {}

    // Smoothed output position: what the boards read.
    double GetX() const { return fresh ? x : smoothing * x + (1 - smoothing) * prevX; }
    double GetY() const { return fresh ? y : smoothing * y + (1 - smoothing) * prevY; }

    double x, y;
    // Move since the matched point of the previous frame (0 for a new contact).
    double step = 0;
    double stepX = 0, stepY = 0;
    double direction = 0;
    int id = 0;
    // 1 contact present, 0 contact lost.
    int state;
    int reserved1, reserved2;
    int matched = 0;
    double prevX = 0, prevY = 0;
    // True until the point has been matched once.
    bool fresh = true;
    double smoothing = 0.7;
};

class CTouchTracker {
public:
    // Points per frame and live ids the work space holds.
    static constexpr int kMaxPoints = 100;

    CTouchTracker();
    // In: this frame's points (state 1). Out: the same points with their ids,
    // followed by the contacts lost since the previous frame (state 0).
    // Points beyond kMaxPoints, or for which no id is free, are dropped from
    // the list with a diagnostic.
    void Track(std::vector<TrackPoint>& list);

    bool IsIdInUse(int id) const { return id >= 0 && id < kMaxPoints && m_bIdUsed[id]; }
    int NextId() const { return m_nIdCursor; }
    const std::vector<TrackPoint>& Tracked() const { return m_tracked; }

    // Direction (radians, 0 .. 2 pi) of the move from (ax, ay) to (bx, by).
    static double Direction(double ax, double ay, double bx, double by);
    // How well new point j continues tracked point i (larger is better).
    static double MatchWeight(const TrackPoint& i, const TrackPoint& j);
    static bool InGate(const TrackPoint& i, const TrackPoint& j);

private:
    // Takes the next free id at or after the cursor; -1 when all are in use.
    int NewId();
    void FreeId(int id);
    void LoseAll(std::vector<TrackPoint>& list);
    void StartAll(std::vector<TrackPoint>& list);
    void Match(std::vector<TrackPoint>& list);
    // Label-update Kuhn-Munkres, maximum weight, on the N x N corner.
    void Assign(int N);
    bool Augment(int row, int N);

    int m_nIdCursor;
    std::vector<TrackPoint> m_tracked;
    bool m_bIdUsed[kMaxPoints];

    int m_weight[kMaxPoints][kMaxPoints];
    int m_matchOfCol[kMaxPoints];
    int m_labelRow[kMaxPoints];
    int m_labelCol[kMaxPoints];
    bool m_visitedRow[kMaxPoints];
    bool m_visitedCol[kMaxPoints];
    bool m_tight[kMaxPoints][kMaxPoints];
};
