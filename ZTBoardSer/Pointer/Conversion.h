// Board-to-screen conversion through the calibration grid: the measured
// board positions of a grid of on-screen targets, interpolated cell by cell.
#pragma once
#include <array>
#include <wx/string.h>
#include "Common.h"

class CConversionBase {
public:
    // The point arrays hold at most this many calibration points.
    static constexpr int kMaxDots = 25;

    CConversionBase(const wxString& strWorkType, const wxString& strSection);
    virtual ~CConversionBase();

    // Screen size from the application; not repeated later, so a change of
    // resolution takes effect with the next conversion object.
    void InitScreen();
    // Reloads the grid and recomputes everything derived from it.
    virtual void Update();
    virtual ScreenPoint Convert(const BoardPoint* pBoardPt) = 0;
    // pScreenPt: two ints (x, y). Returns whether the point could be mapped.
    virtual bool ConvertPoint(const BoardPoint* pBoardPt, int* pScreenPt) = 0;
    virtual void LoadDots();

    // Grid layout from the point count, and the screen target of each point.
    void CalcTargets();
    // Camera area of interest around the grid (camera board only).
    void CalcCameraRect();
    // right, left, top, bottom, camera pixels.
    std::array<int, 4> GetCameraRect() const;

    // Index of the point in column nCol, row nRow of the grid.
    int DotIndex(int nCol, int nRow) const { return nCol * m_nRows + nRow; }
    // Index of the last point of the grid (bottom right in point order).
    int LastDot() const { return m_nCols * m_nRows - 1; }

    BoardPoint m_dot[kMaxDots];
    int m_DotNum;
    double m_pos[kMaxDots][2];
    wxString m_strWorkType;
    wxString m_strSection;
    int m_nScreenWidth;
    int m_nScreenHeight;
    int m_nRows;
    int m_nCols;
    int m_rcCamera[4];
};

// Edge-proportional interpolation in the cell found by comparing the point
// with the inner grid points.
class CConversion : public CConversionBase {
public:
    using CConversionBase::CConversionBase;
    ScreenPoint Convert(const BoardPoint* pBoardPt) override;
    bool ConvertPoint(const BoardPoint* pBoardPt, int* pScreenPt) override;

    // Top-left point of the cell that holds (x, y).
    int FindCell(double x, double y) const;
};

// One projective transform per cell, solved from the cell's corners; knows
// when a point lies outside the grid or the screen. Used by the camera board.
class CConversionATF : public CConversionBase {
public:
    static constexpr int kMaxCells = 20;
    // The camera board's frame in board units (camera pixels x 10).
    static constexpr int kFrameWidth = 3200;
    static constexpr int kFrameHeight = 2400;

    CConversionATF(const wxString& strWorkType, const wxString& strSection);
    ~CConversionATF() override;

    void Update() override;
    ScreenPoint Convert(const BoardPoint* pBoardPt) override;
    bool ConvertPoint(const BoardPoint* pBoardPt, int* pScreenPt) override;

    // Number of the first cell that holds the board point (x, y), or -1.
    int FindCell(int x, int y) const;

    double m_dCoef[kMaxCells][8];
    // A cell whose corners give no unique transform (three corners on one
    // line) holds no point.
    bool m_bCellSolved[kMaxCells];

private:
    void SolveCells();
    void WidenBorder();
    int CellCount() const;
    int CellTopLeft(int nCell) const;
};

CConversionBase* CreateConversion(const wxString& strWorkType, const wxString& strSection);
void InitConversion(CConversionBase* pConversion);
