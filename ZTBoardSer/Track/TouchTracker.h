// Gives the contacts of successive frames stable ids.
#pragma once
#include <vector>

struct TrackPoint {
    TrackPoint(double px = 0, double py = 0, int nState = 1, int nRes1 = 0, int nRes2 = 0)
        : x(px), y(py), state(nState), reserved1(nRes1), reserved2(nRes2) {}

    // Smoothed output position: what the boards read.
    double GetX() const { return fresh ? x : smoothing * x + (1 - smoothing) * prevX; }
    double GetY() const { return fresh ? y : smoothing * y + (1 - smoothing) * prevY; }

    double x, y;
    double step = 0;
    double stepX = 0, stepY = 0;
    double direction = 0;
    int id = 0;
    int state;
    int reserved1, reserved2;
    int matched = 0;
    double prevX = 0, prevY = 0;
    bool fresh = true;
    double smoothing = 0.7;
};

class CTouchTracker {
public:
    CTouchTracker();
    // In: this frame's points (state 1). Out: the same points with their ids,
    // followed by the contacts lost since the previous frame (state 0).
    void Track(std::vector<TrackPoint>& list);

    static const int kMaxPoints = 100;
};
