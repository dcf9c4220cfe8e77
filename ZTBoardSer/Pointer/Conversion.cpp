#include "Conversion.h"

#include "App/ZTBoardHost.h"
#include "ConfigXML.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

namespace {

const char* const kLTWorkType = "ZTBoardWorkLT";

// Targets span the screen from 4 % to 96 % in both directions.
const double kTargetMargin = 0.04;
const double kTargetSpan = 0.92;
// Enlargement of the camera area beyond the outer targets.
const double kCameraGrowX = 2.3;
const double kCameraGrowY = 2.5;

// Grid layout for a point count; every count without a layout of its own
// uses the 3 x 3 grid on the first nine points.
struct Layout {
    int nDots, nCols, nRows;
};
const Layout kLayouts[] = {{4, 2, 2}, {12, 4, 3}, {20, 5, 4}, {25, 5, 5}};
const Layout kDefaultLayout = {9, 3, 3};

Layout LayoutFor(int nDots)
{
    for (const Layout& l : kLayouts)
        if (l.nDots == nDots)
            return l;
    return kDefaultLayout;
}

// Defaults when the configuration file cannot be loaded.
const BoardPoint kDefaultDots[4] = {{1000, 500}, {1000, 32000}, {32000, 500}, {32000, 32000}};

std::string Narrow(const wxString& s) { return std::string(s.utf8_str()); }

double Distance(double x0, double y0, double x1, double y1)
{
    return std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
}

// Integer part, plus one when the fraction exceeds one half. Values that are
// not finite (a degenerate cell) give 0 and huge values are held to the int
// range, so that no conversion is undefined.
int RoundPixel(double v)
{
    if (!std::isfinite(v))
        return 0;
    v = std::max(std::min(v, (double)INT_MAX - 1), (double)INT_MIN + 1);
    int n = (int)v;
    if (v - n > 0.5)
        ++n;
    return n;
}

// Solves the 8 x 8 system a * x = b by Gauss-Jordan elimination with full
// pivoting. False when the system has no unique solution.
bool SolveLinear8(double a[8][8], double b[8], double x[8])
{
    const int n = 8;
    double scale = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            scale = std::max(scale, std::fabs(a[i][j]));
    if (!(scale > 0) || !std::isfinite(scale))
        return false;
    // Pivots this small relative to the largest entry are rounding residue
    // of a singular system.
    const double tiny = scale * 1e-12;
    bool rowUsed[n] = {}, colUsed[n] = {};
    int pivotCol[n];
    for (int step = 0; step < n; ++step) {
        int pr = -1, pc = -1;
        double best = 0;
        for (int i = 0; i < n; ++i) {
            if (rowUsed[i])
                continue;
            for (int j = 0; j < n; ++j)
                if (!colUsed[j] && std::fabs(a[i][j]) > best) {
                    best = std::fabs(a[i][j]);
                    pr = i;
                    pc = j;
                }
        }
        if (pr < 0 || best <= tiny)
            return false;
        rowUsed[pr] = colUsed[pc] = true;
        pivotCol[pr] = pc;
        double p = a[pr][pc];
        for (int j = 0; j < n; ++j)
            a[pr][j] /= p;
        b[pr] /= p;
        for (int i = 0; i < n; ++i) {
            double f = a[i][pc];
            if (i == pr || f == 0)
                continue;
            for (int j = 0; j < n; ++j)
                a[i][j] -= f * a[pr][j];
            b[i] -= f * b[pr];
        }
    }
    for (int i = 0; i < n; ++i) {
        x[pivotCol[i]] = b[i];
        if (!std::isfinite(b[i]))
            return false;
    }
    return true;
}

// Whether no three of the four corners lie on one line. With three on a line
// the cell's transform is degenerate: its system may still solve, but the
// transform maps the cell onto a line and divides by zero inside it.
bool CornersInGeneralPosition(const BoardPoint* const c[4])
{
    for (int skip = 0; skip < 4; ++skip) {
        const BoardPoint* p[3];
        for (int k = 0, n = 0; k < 4; ++k)
            if (k != skip)
                p[n++] = c[k];
        const double ux = p[1]->x - p[0]->x, uy = p[1]->y - p[0]->y;
        const double vx = p[2]->x - p[0]->x, vy = p[2]->y - p[0]->y;
        const double cross = ux * vy - uy * vx;
        const double lengths = std::sqrt(ux * ux + uy * uy) * std::sqrt(vx * vx + vy * vy);
        // The sine of the angle at p[0]: below this the corners are on a line
        // as far as a measured grid can tell.
        if (!(std::fabs(cross) > 1e-6 * lengths))
            return false;
    }
    return true;
}

// Even-odd test of the pixel (px, py) against a polygon of integer corners:
// the pixel's centre decides, so that a pixel on an edge shared by two cells
// belongs to exactly one of them.
bool PolygonContains(const int (*pts)[2], int n, int px, int py)
{
    const double cx = px + 0.5, cy = py + 0.5;
    bool inside = false;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        double xi = pts[i][0], yi = pts[i][1], xj = pts[j][0], yj = pts[j][1];
        if ((yi > cy) != (yj > cy) && cx < (xj - xi) * (cy - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}

} // namespace

// ---------------------------------------------------------------------------
// CConversionBase

CConversionBase::CConversionBase(const wxString& strWorkType, const wxString& strSection)
    : m_DotNum(0), m_strWorkType(strWorkType), m_strSection(strSection), m_nScreenWidth(0),
      m_nScreenHeight(0), m_nRows(0), m_nCols(0)
{
    memset(m_pos, 0, sizeof m_pos);
    memset(m_rcCamera, 0, sizeof m_rcCamera);
}

CConversionBase::~CConversionBase() {}

void CConversionBase::InitScreen()
{
    // Conversions are built on the watcher and worker threads, where the
    // toolkit may not be asked: the application answers from its own values.
    ZTHost()->GetScreenSize(&m_nScreenWidth, &m_nScreenHeight);
}

void CConversionBase::Update()
{
    LoadDots();
    CalcTargets();
    if (m_strWorkType == kLTWorkType)
        CalcCameraRect();
}

void CConversionBase::LoadDots()
{
    std::string workType = Narrow(m_strWorkType);
    ZTPrintLine("**Quenlo**m_strWorkType>>%s", workType.c_str());
    CConfigXML cfg;
    if (!cfg.Load(ZT_CONFIG_FILE)) {
        m_DotNum = 4;
        std::copy(kDefaultDots, kDefaultDots + 4, m_dot);
        return;
    }
    std::string section = Narrow(m_strSection);
    m_DotNum = 0;
    cfg.GetInt(workType.c_str(), section.c_str(), "dotNum", &m_DotNum, 0);
    if (m_DotNum > kMaxDots) {
        ZTPrintLine("**Quenlo**dotNum %d is more than %d points: using the first %d", m_DotNum,
                    kMaxDots, kMaxDots);
        m_DotNum = kMaxDots;
    } else if (m_DotNum < 0) {
        ZTPrintLine("**Quenlo**dotNum %d is not a point count: no grid", m_DotNum);
        m_DotNum = 0;
    }
    double xy[2 * kMaxDots];
    for (int k = 0; k < m_DotNum; ++k) {
        xy[2 * k] = m_dot[k].x;
        xy[2 * k + 1] = m_dot[k].y;
    }
    cfg.GetPoints(workType.c_str(), section.c_str(), "dot", m_DotNum, xy);
    for (int k = 0; k < m_DotNum; ++k) {
        m_dot[k].x = xy[2 * k];
        m_dot[k].y = xy[2 * k + 1];
    }
}

void CConversionBase::CalcTargets()
{
    ZTPrintLine("**Quenlo**m_DotNum>>%d", m_DotNum);
    Layout l = LayoutFor(m_DotNum);
    m_nCols = l.nCols;
    m_nRows = l.nRows;
    const double w = m_nScreenWidth, h = m_nScreenHeight;
    for (int i = 0; i < m_nCols; ++i)
        for (int j = 0; j < m_nRows; ++j) {
            int k = DotIndex(i, j);
            m_pos[k][0] = std::trunc(kTargetMargin * w + i * kTargetSpan * w / (m_nCols - 1));
            m_pos[k][1] = std::trunc(kTargetMargin * h + j * kTargetSpan * h / (m_nRows - 1));
        }
    for (int k = 0; k < m_DotNum && k < kMaxDots; ++k) {
        std::ostringstream os;
        os << "**Quenlo**Pos" << k << ">>(" << m_pos[k][0] << "," << m_pos[k][1] << ")";
        ZTPrintLine("%s", os.str().c_str());
    }
}

void CConversionBase::CalcCameraRect()
{
    const int last = LastDot();
    const int lastCol = m_nCols - 1, lastRow = m_nRows - 1;
    // Which column is left and which row is top depends on how the camera
    // sees the board: the grid may be mirrored.
    const int colMin = m_dot[last].x > m_dot[0].x ? 0 : lastCol;
    const int colMax = lastCol - colMin;
    const int rowMin = m_dot[last].y > m_dot[0].y ? 0 : lastRow;
    const int rowMax = lastRow - rowMin;

    double xmin = m_dot[DotIndex(colMin, 0)].x, xmax = m_dot[DotIndex(colMax, 0)].x;
    for (int j = 1; j < m_nRows; ++j) {
        xmin = std::min(xmin, m_dot[DotIndex(colMin, j)].x);
        xmax = std::max(xmax, m_dot[DotIndex(colMax, j)].x);
    }
    double ymin = m_dot[DotIndex(0, rowMin)].y, ymax = m_dot[DotIndex(0, rowMax)].y;
    for (int i = 1; i < m_nCols; ++i) {
        ymin = std::min(ymin, m_dot[DotIndex(i, rowMin)].y);
        ymax = std::max(ymax, m_dot[DotIndex(i, rowMax)].y);
    }
    // In doubles: a damaged grid may hold any value, and only what is held to
    // the camera's frame may become an int.
    double x0 = std::trunc(xmin), x1 = std::trunc(xmax), y0 = std::trunc(ymin), y1 = std::trunc(ymax);
    // Undo the target layout: the board distance from the outer targets to
    // the screen edge, enlarged.
    double mx = std::fabs(x1 - x0) / kTargetSpan * kTargetMargin * kCameraGrowX;
    double my = std::fabs(y1 - y0) / kTargetSpan * kTargetMargin * kCameraGrowY;
    const int W = CConversionATF::kFrameWidth, H = CConversionATF::kFrameHeight;
    auto inFrame = [](double v, int limit) {
        return v > 0 ? (v < limit ? (int)v : limit) : 0; // NaN: 0
    };
    int left = inFrame(x0 - mx, W);
    int right = std::isnan(x1 + mx) ? W : inFrame(x1 + mx, W);
    int top = inFrame(y0 - my, H);
    int bottom = std::isnan(y1 + my) ? H : inFrame(y1 + my, H);
    m_rcCamera[0] = (int)std::lround(right / 10.0);
    m_rcCamera[1] = (int)std::lround(left / 10.0);
    m_rcCamera[2] = (int)std::lround(top / 10.0);
    m_rcCamera[3] = (int)std::lround(bottom / 10.0);
}

std::array<int, 4> CConversionBase::GetCameraRect() const
{
    return {m_rcCamera[0], m_rcCamera[1], m_rcCamera[2], m_rcCamera[3]};
}

// ---------------------------------------------------------------------------
// CConversion

// The inner grid points are the cell boundaries: a cell's x range is bounded
// by the inner points of its left and right columns (at the cell's row, held
// to the inner rows), its y range by the inner points of its rows (in the
// next column, held to the inner columns). Cells are tried column by column,
// top to bottom; the first whose ranges hold the point wins, so points beyond
// the outer measured points land in the border cells. The 3 x 3 grid keeps
// its boundaries with the lower cell (<=), the others with the upper (<).
int CConversion::FindCell(double x, double y) const
{
    const int R = m_nRows, C = m_nCols;
    const bool bLowerOwns = C == 3 && R == 3;
    auto below = [bLowerOwns](double v, double bound) { return bLowerOwns ? v <= bound : v < bound; };
    for (int c = 0; c + 1 < C; ++c) {
        const int yCol = std::min(std::max(c + 1, 1), C - 2 < 1 ? 1 : C - 2);
        for (int r = 0; r + 1 < R; ++r) {
            const int xRow = std::min(std::max(r, 1), R - 2 < 1 ? 1 : R - 2);
            if (c >= 1 && below(x, m_dot[DotIndex(c, xRow)].x))
                continue;
            if (c + 1 <= C - 2 && !below(x, m_dot[DotIndex(c + 1, xRow)].x))
                continue;
            if (r >= 1 && below(y, m_dot[DotIndex(yCol, r)].y))
                continue;
            if (r + 1 <= R - 2 && !below(y, m_dot[DotIndex(yCol, r + 1)].y))
                continue;
            return DotIndex(c, r);
        }
    }
    // Only a strongly skewed grid leaves gaps between the ranges: take the
    // cell whose centre lies nearest.
    int best = 0;
    double bestDist = -1;
    for (int c = 0; c + 1 < C; ++c)
        for (int r = 0; r + 1 < R; ++r) {
            int tl = DotIndex(c, r), bl = tl + 1, tr = tl + R, br = tr + 1;
            double cx = (m_dot[tl].x + m_dot[bl].x + m_dot[tr].x + m_dot[br].x) / 4;
            double cy = (m_dot[tl].y + m_dot[bl].y + m_dot[tr].y + m_dot[br].y) / 4;
            double d = Distance(x, y, cx, cy);
            if (bestDist < 0 || d < bestDist) {
                bestDist = d;
                best = tl;
            }
        }
    return best;
}

ScreenPoint CConversion::Convert(const BoardPoint* pBoardPt)
{
    const double x = pBoardPt->x, y = pBoardPt->y;
    const int tl = FindCell(x, y), bl = tl + 1, tr = tl + m_nRows, br = tr + 1;
    const double x0 = m_dot[tl].x, y0 = m_dot[tl].y, x1 = m_dot[bl].x, y1 = m_dot[bl].y;
    const double x2 = m_dot[tr].x, y2 = m_dot[tr].y, x3 = m_dot[br].x, y3 = m_dot[br].y;
    const double* sTL = m_pos[tl];
    const double* sBL = m_pos[bl];
    const double* sTR = m_pos[tr];
    const double* sBR = m_pos[br];

    // Heights of the top edge TL-TR and the bottom edge BL-BR above x.
    const double yT = x * (y0 - y2) / (x0 - x2) + (y2 * x0 - x2 * y0) / (x0 - x2);
    const double yB = x * (y1 - y3) / (x1 - x3) + (x1 * y3 - y1 * x3) / (x1 - x3);
    // Board units per pixel along the two edges.
    const double kT = Distance(x0, y0, x2, y2) / std::fabs(sTL[0] - sTR[0]);
    const double kB = Distance(x1, y1, x3, y3) / std::fabs(sBR[0] - sBL[0]);
    double dT = Distance(x0, y0, x, yT);
    if (x < x0)
        dT = -dT;
    double dB = Distance(x3, y3, x, yB);
    if (x < x3)
        dB = -dB;
    const double xT = sTL[0] + dT / kT;
    const double xB = sBR[0] + dB / kB;

    double X, Y;
    if (y != yB) {
        const double r = (y - yT) / (yB - y);
        X = (xT + xB * r) / (r + 1);
        Y = (sBR[1] * r + sTL[1]) / (r + 1);
    } else {
        X = xB;
        Y = sBR[1];
    }
    ScreenPoint s;
    s.x = RoundPixel(X);
    s.y = RoundPixel(Y);
    return s;
}

bool CConversion::ConvertPoint(const BoardPoint* pBoardPt, int* pScreenPt)
{
    ScreenPoint s = Convert(pBoardPt);
    pScreenPt[0] = s.x;
    pScreenPt[1] = s.y;
    return true;
}

// ---------------------------------------------------------------------------
// CConversionATF

CConversionATF::CConversionATF(const wxString& strWorkType, const wxString& strSection)
    : CConversionBase(strWorkType, strSection)
{
    memset(m_dCoef, 0, sizeof m_dCoef);
    std::fill(m_bCellSolved, m_bCellSolved + kMaxCells, false);
}

CConversionATF::~CConversionATF() { ZTPrintLine("******in CConversionATF::~CConversionATF()"); }

int CConversionATF::CellCount() const
{
    return m_nCols < 2 || m_nRows < 2 ? 0 : (m_nCols - 1) * (m_nRows - 1);
}

int CConversionATF::CellTopLeft(int nCell) const
{
    return DotIndex(nCell / (m_nRows - 1), nCell % (m_nRows - 1));
}

void CConversionATF::Update()
{
    CConversionBase::Update();
    ZTPrintLine("CConversionATF::Update()");
    SolveCells();
    WidenBorder();
}

void CConversionATF::SolveCells()
{
    std::fill(m_bCellSolved, m_bCellSolved + kMaxCells, false);
    const int nCells = std::min(CellCount(), (int)kMaxCells);
    for (int n = 0; n < nCells; ++n) {
        const int tl = CellTopLeft(n);
        const int corners[4] = {tl, tl + m_nRows, tl + m_nRows + 1, tl + 1}; // TL, TR, BR, BL
        std::fill(m_dCoef[n], m_dCoef[n] + 8, 0.0);
        const BoardPoint* pts[4] = {&m_dot[corners[0]], &m_dot[corners[1]], &m_dot[corners[2]],
                                    &m_dot[corners[3]]};
        if (!CornersInGeneralPosition(pts)) {
            ZTPrintLine("CConversionATF: cell %d has no transform (corners on one line)", n);
            continue;
        }
        double a[8][8] = {};
        double b[8];
        for (int k = 0; k < 4; ++k) {
            const double xk = m_dot[corners[k]].x, yk = m_dot[corners[k]].y;
            const double Xk = m_pos[corners[k]][0], Yk = m_pos[corners[k]][1];
            double* rx = a[k];
            rx[0] = xk, rx[1] = yk, rx[2] = 1, rx[6] = -xk * Xk, rx[7] = -yk * Xk;
            b[k] = Xk;
            double* ry = a[k + 4];
            ry[3] = xk, ry[4] = yk, ry[5] = 1, ry[6] = -xk * Yk, ry[7] = -yk * Yk;
            b[k + 4] = Yk;
        }
        double coef[8];
        if (SolveLinear8(a, b, coef)) {
            std::copy(coef, coef + 8, m_dCoef[n]);
            m_bCellSolved[n] = true;
        } else {
            ZTPrintLine("CConversionATF: cell %d has no transform (singular system)", n);
        }
    }
}

// The outer points move to the frame's edges so that the border cells cover
// the whole camera frame; the coefficients stay those of the measured points.
void CConversionATF::WidenBorder()
{
    if (CellCount() == 0)
        return;
    const int last = LastDot();
    const bool flipY = m_dot[0].y > m_dot[last].y;
    const bool flipX = m_dot[0].x > m_dot[last].x;
    for (int i = 0; i < m_nCols; ++i) {
        m_dot[DotIndex(i, 0)].y = flipY ? kFrameHeight : 0;
        m_dot[DotIndex(i, m_nRows - 1)].y = flipY ? 0 : kFrameHeight;
    }
    for (int j = 0; j < m_nRows; ++j) {
        m_dot[DotIndex(0, j)].x = flipX ? kFrameWidth : 0;
        m_dot[DotIndex(m_nCols - 1, j)].x = flipX ? 0 : kFrameWidth;
    }
}

int CConversionATF::FindCell(int x, int y) const
{
    const int nCells = std::min(CellCount(), (int)kMaxCells);
    for (int n = 0; n < nCells; ++n) {
        if (!m_bCellSolved[n])
            continue;
        const int tl = CellTopLeft(n);
        const int corners[4] = {tl, tl + m_nRows, tl + m_nRows + 1, tl + 1};
        int poly[4][2];
        for (int k = 0; k < 4; ++k) {
            poly[k][0] = (int)m_dot[corners[k]].x;
            poly[k][1] = (int)m_dot[corners[k]].y;
        }
        if (PolygonContains(poly, 4, x, y))
            return n;
    }
    return -1;
}

bool CConversionATF::ConvertPoint(const BoardPoint* pBoardPt, int* pScreenPt)
{
    if (!std::isfinite(pBoardPt->x) || !std::isfinite(pBoardPt->y) ||
        std::fabs(pBoardPt->x) > INT_MAX || std::fabs(pBoardPt->y) > INT_MAX)
        return false;
    const int x = (int)pBoardPt->x, y = (int)pBoardPt->y;
    const int n = FindCell(x, y);
    if (n < 0)
        return false;
    const double* c = m_dCoef[n];
    const double N = c[6] * x + c[7] * y + 1;
    const double X = (c[0] * x + c[1] * y + c[2]) / N;
    const double Y = (c[3] * x + c[4] * y + c[5]) / N;
    // Far outside the measured corners the transform can reach its horizon.
    if (!std::isfinite(X) || !std::isfinite(Y) || std::fabs(X) >= INT_MAX || std::fabs(Y) >= INT_MAX)
        return false;
    pScreenPt[0] = (int)X;
    pScreenPt[1] = (int)Y;
    return pScreenPt[0] >= 0 && pScreenPt[0] <= m_nScreenWidth && pScreenPt[1] >= 0 &&
           pScreenPt[1] <= m_nScreenHeight;
}

ScreenPoint CConversionATF::Convert(const BoardPoint* pBoardPt)
{
    int xy[2] = {0, 0};
    ScreenPoint s;
    if (ConvertPoint(pBoardPt, xy)) {
        s.x = xy[0];
        s.y = xy[1];
    }
    return s;
}

// ---------------------------------------------------------------------------

CConversionBase* CreateConversion(const wxString& strWorkType, const wxString& strSection)
{
    if (strWorkType == kLTWorkType)
        return new CConversionATF(strWorkType, strSection);
    return new CConversion(strWorkType, strSection);
}

void InitConversion(CConversionBase* pConversion)
{
    pConversion->InitScreen();
    pConversion->Update();
}
