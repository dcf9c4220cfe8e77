#include "TouchTracker.h"

#include "Common.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const double kPi = 3.14159265358979323846;
// A new point may lie this many pixels beyond the contact's last step, per
// axis, and still continue it.
const double kGate = 50;
const double kWeightScale = 10000;
// Weight of a pair that is not matched; a real weight that truncates to it
// is not matched either.
const int kNoMatch = 1;
// Near-coincident points would give weights beyond the int range; beyond
// this they are all equally good.
const double kMaxWeight = 10000000;
const int kLabelFloor = -100000000;
const int kSlackCeiling = 100000000;

double Dist(double ax, double ay, double bx, double by)
{
    return std::sqrt((bx - ax) * (bx - ax) + (by - ay) * (by - ay));
}

} // namespace

CTouchTracker::CTouchTracker() : m_nIdCursor(0)
{
    std::fill(m_bIdUsed, m_bIdUsed + kMaxPoints, false);
    memset(m_weight, 0, sizeof m_weight);
    std::fill(m_matchOfCol, m_matchOfCol + kMaxPoints, -1);
    memset(m_labelRow, 0, sizeof m_labelRow);
    memset(m_labelCol, 0, sizeof m_labelCol);
    memset(m_visitedRow, 0, sizeof m_visitedRow);
    memset(m_visitedCol, 0, sizeof m_visitedCol);
    memset(m_tight, 0, sizeof m_tight);
}

double CTouchTracker::Direction(double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay;
    if (std::fabs(dx) <= 0.001)
        return dy > 0 ? 0 : kPi;
    double a = std::atan(dy / dx) - kPi / 2;
    if (dx < 0)
        a -= kPi;
    if (a < 0)
        a += 2 * kPi;
    return a;
}

bool CTouchTracker::InGate(const TrackPoint& i, const TrackPoint& j)
{
    return std::fabs(j.x - i.x) <= i.stepX + kGate && std::fabs(j.y - i.y) <= i.stepY + kGate;
}

// a: distance from i to j; e: distance from j to where i would be had it
// moved again by its last step in its last direction.
double CTouchTracker::MatchWeight(const TrackPoint& i, const TrackPoint& j)
{
    const double a = Dist(i.x, i.y, j.x, j.y);
    const double s = i.step;
    const double t = Direction(i.x, i.y, j.x, j.y);
    // Rounding can make the law of cosines a hair negative for collinear moves.
    const double e2 = a * a + s * s - 2 * a * s * std::cos(std::fabs(t - i.direction));
    const double e = std::sqrt(std::max(0.0, e2));
    if (a + e < 1e-10)
        return kWeightScale;
    return std::min(kWeightScale / (a + e), kMaxWeight);
}

int CTouchTracker::NewId()
{
    for (int k = 0; k < kMaxPoints; ++k) {
        int id = (m_nIdCursor + k) % kMaxPoints;
        if (!m_bIdUsed[id]) {
            m_bIdUsed[id] = true;
            m_nIdCursor = (id + 1) % kMaxPoints;
            return id;
        }
    }
    return -1;
}

void CTouchTracker::FreeId(int id)
{
    if (id >= 0 && id < kMaxPoints)
        m_bIdUsed[id] = false;
}

void CTouchTracker::Track(std::vector<TrackPoint>& list)
{
    if ((int)list.size() > kMaxPoints) {
        // The work space holds kMaxPoints; a board's contact count can claim
        // more, but no more real contacts exist.
        ZTPrintLine("CTouchTracker: %d points in one frame, tracking the first %d", (int)list.size(),
                    kMaxPoints);
        list.resize(kMaxPoints);
    }
    if (list.empty())
        LoseAll(list);
    else if (m_tracked.empty())
        StartAll(list);
    else
        Match(list);
}

void CTouchTracker::LoseAll(std::vector<TrackPoint>& list)
{
    for (TrackPoint& p : m_tracked) {
        p.state = 0;
        FreeId(p.id);
        list.push_back(p);
    }
    m_tracked.clear();
}

void CTouchTracker::StartAll(std::vector<TrackPoint>& list)
{
    size_t kept = 0;
    for (size_t j = 0; j < list.size(); ++j) {
        int id = NewId();
        if (id < 0)
            continue;
        list[j].id = id;
        list[kept++] = list[j];
    }
    if (kept < list.size()) {
        ZTPrintLine("CTouchTracker: no free id for %d points, dropped", (int)(list.size() - kept));
        list.resize(kept);
    }
    m_tracked = list;
}

void CTouchTracker::Match(std::vector<TrackPoint>& list)
{
    const int n = (int)m_tracked.size(), m = (int)list.size();
    const int N = std::max(n, m);
    for (int i = 0; i < N; ++i)
        std::fill(m_weight[i], m_weight[i] + N, kNoMatch);
    for (int i = 0; i < n; ++i) {
        m_tracked[i].matched = 0;
        for (int j = 0; j < m; ++j)
            if (InGate(m_tracked[i], list[j]))
                m_weight[i][j] = (int)MatchWeight(m_tracked[i], list[j]);
    }
    Assign(N);

    size_t kept = 0;
    int dropped = 0;
    for (int j = 0; j < m; ++j) {
        TrackPoint p = list[j];
        const int r = m_matchOfCol[j];
        if (r >= 0 && r < n && m_weight[r][j] != kNoMatch) {
            TrackPoint& old = m_tracked[r];
            p.id = old.id;
            p.step = Dist(old.x, old.y, p.x, p.y);
            p.stepX = std::fabs(p.x - old.x);
            p.stepY = std::fabs(p.y - old.y);
            p.direction = Direction(old.x, old.y, p.x, p.y);
            p.prevX = old.x;
            p.prevY = old.y;
            p.fresh = false;
            old.matched = 1;
        } else {
            p.id = NewId();
            if (p.id < 0) {
                // Every id is held by a live contact: this point cannot be
                // told apart from them, so it is not reported.
                ++dropped;
                continue;
            }
        }
        list[kept++] = p;
    }
    if (dropped)
        ZTPrintLine("CTouchTracker: no free id for %d points, dropped", dropped);
    list.resize(kept);

    std::vector<TrackPoint> previous;
    previous.swap(m_tracked);
    m_tracked = list;
    for (TrackPoint& old : previous)
        if (!old.matched && old.state == 1) {
            old.state = 0;
            FreeId(old.id);
            list.push_back(old);
        }
}

void CTouchTracker::Assign(int N)
{
    for (int i = 0; i < N; ++i) {
        int best = kLabelFloor;
        for (int j = 0; j < N; ++j)
            best = std::max(best, m_weight[i][j]);
        m_labelRow[i] = best;
        m_labelCol[i] = 0;
        m_matchOfCol[i] = -1;
    }
    for (int row = 0; row < N; ++row) {
        for (;;) {
            std::fill(m_visitedRow, m_visitedRow + N, false);
            std::fill(m_visitedCol, m_visitedCol + N, false);
            for (int i = 0; i < N; ++i)
                for (int j = 0; j < N; ++j)
                    m_tight[i][j] = m_labelRow[i] + m_labelCol[j] == m_weight[i][j];
            if (Augment(row, N))
                break;
            int slack = kSlackCeiling;
            for (int i = 0; i < N; ++i) {
                if (!m_visitedRow[i])
                    continue;
                for (int j = 0; j < N; ++j)
                    if (!m_visitedCol[j])
                        slack = std::min(slack, m_labelRow[i] + m_labelCol[j] - m_weight[i][j]);
            }
            for (int i = 0; i < N; ++i) {
                if (m_visitedRow[i])
                    m_labelRow[i] -= slack;
                if (m_visitedCol[i])
                    m_labelCol[i] += slack;
            }
        }
    }
}

bool CTouchTracker::Augment(int row, int N)
{
    m_visitedRow[row] = true;
    for (int j = 0; j < N; ++j) {
        if (m_visitedCol[j] || !m_tight[row][j])
            continue;
        m_visitedCol[j] = true;
        if (m_matchOfCol[j] < 0 || Augment(m_matchOfCol[j], N)) {
            m_matchOfCol[j] = row;
            return true;
        }
    }
    return false;
}
