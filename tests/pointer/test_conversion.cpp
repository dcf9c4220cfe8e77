// Board-to-screen conversion through calibration grids read from a real
// configuration file: the default grid, the cell search of every layout
// (2 x 2, 3 x 3, 4 x 3, 5 x 4, 5 x 5), interpolation and rounding, the
// camera board's projective cells and camera area, and broken grids.
#include "PointerTestUtil.h"

#include <cmath>
#include <memory>

#include "Pointer/Conversion.h"

using namespace zt;

namespace {

typedef std::vector<double> Dots;

// A grid of cols x rows points, column by column, top to bottom.
Dots Grid(int cols, int rows, double x0, double dx, double y0, double dy)
{
    Dots d;
    for (int i = 0; i < cols; ++i)
        for (int j = 0; j < rows; ++j) {
            d.push_back(x0 + i * dx);
            d.push_back(y0 + j * dy);
        }
    return d;
}

class ConversionTest : public ::testing::Test {
protected:
    std::unique_ptr<CConversionBase> Make(const char* workType = "ZTBoardWorkIRQ")
    {
        std::unique_ptr<CConversionBase> c(CreateConversion(workType, "coordinate"));
        InitConversion(c.get());
        return c;
    }
    // Builds and initialises a conversion, returning what it printed.
    std::string MakePrinting(std::unique_ptr<CConversionBase>* pc, const char* workType = "ZTBoardWorkIRQ")
    {
        ::testing::internal::CaptureStdout();
        *pc = Make(workType);
        return ::testing::internal::GetCapturedStdout();
    }
    static ScreenPoint Conv(CConversionBase& c, double x, double y)
    {
        BoardPoint b;
        b.x = x;
        b.y = y;
        return c.Convert(&b);
    }
    static void ExpectDotsOnTargets(CConversionBase& c)
    {
        for (int k = 0; k < c.m_DotNum; ++k) {
            ScreenPoint s = Conv(c, c.m_dot[k].x, c.m_dot[k].y);
            EXPECT_EQ((int)c.m_pos[k][0], s.x) << "point " << k;
            EXPECT_EQ((int)c.m_pos[k][1], s.y) << "point " << k;
        }
    }

    ScopedPointerHost h;
};

class GridTest : public ConversionTest {
protected:
    GridTest() : wd("grid") {}
    ScopedWorkDir wd;
};

// ---------------------------------------------------------------------------
// The default grid

struct PointCase {
    double x, y;
    int sx, sy;
};

TEST_F(ConversionTest, DefaultGridWithoutConfigFile)
{
    ScopedWorkDir wd("nofile", false);
    std::unique_ptr<CConversionBase> c;
    std::string out = MakePrinting(&c);
    EXPECT_NE(std::string::npos, out.find("**Quenlo**m_strWorkType>>ZTBoardWorkIRQ\n")) << out;
    EXPECT_NE(std::string::npos, out.find("**Quenlo**m_DotNum>>4\n")) << out;
    EXPECT_NE(std::string::npos,
              out.find("**Quenlo**Pos0>>(76,43)\n**Quenlo**Pos1>>(76,1036)\n"
                       "**Quenlo**Pos2>>(1843,43)\n**Quenlo**Pos3>>(1843,1036)\n"))
        << out;
    EXPECT_EQ(1920, c->m_nScreenWidth);
    EXPECT_EQ(1080, c->m_nScreenHeight);
    EXPECT_EQ(2, c->m_nCols);
    EXPECT_EQ(2, c->m_nRows);
    const PointCase cases[] = {
        {1000, 500, 76, 43},      {1000, 32000, 76, 1036}, {32000, 500, 1843, 43},
        {32000, 32000, 1843, 1036},
        // The centre falls on halves (959.5, 539.5), which round down.
        {16500, 16250, 959, 539},
        // Beyond the measured points: extrapolated from the cell.
        {0, 0, 19, 27},           {32767, 32767, 1887, 1060},
    };
    for (const PointCase& p : cases) {
        ScreenPoint s = Conv(*c, p.x, p.y);
        EXPECT_EQ(p.sx, s.x) << p.x << "," << p.y;
        EXPECT_EQ(p.sy, s.y) << p.x << "," << p.y;
    }
    int xy[2] = {-1, -1};
    BoardPoint b;
    b.x = 1000;
    b.y = 500;
    EXPECT_TRUE(c->ConvertPoint(&b, xy));
    EXPECT_EQ(76, xy[0]);
    EXPECT_EQ(43, xy[1]);
}

TEST_F(GridTest, ShippedConfigHoldsTheDefaultGrid)
{
    std::unique_ptr<CConversionBase> c = Make();
    EXPECT_EQ(4, c->m_DotNum);
    ExpectDotsOnTargets(*c);
    ScreenPoint s = Conv(*c, 1000, 500);
    EXPECT_EQ(76, s.x);
    EXPECT_EQ(43, s.y);
}

TEST_F(GridTest, BottomEdgeLineNeedsNoDivision)
{
    // Exactly on the default grid's bottom edge (y = yB): X is the bottom
    // edge's screen x (76 + 9300 / 31000 x 1767 = 606.1) and Y the bottom
    // target's.
    std::unique_ptr<CConversionBase> c = Make();
    ScreenPoint s = Conv(*c, 10300, 32000);
    EXPECT_EQ(606, s.x);
    EXPECT_EQ(1036, s.y);
    s = Conv(*c, 32000, 32000);
    EXPECT_EQ(1843, s.x);
    EXPECT_EQ(1036, s.y);
    // A slanted bottom edge from (1000, 31000) to (32000, 32000).
    wd.SetGrid("ZTBoardWorkIRQ", 4, {1000, 500, 1000, 31000, 32000, 500, 32000, 32000});
    c = Make();
    s = Conv(*c, 10300, 31300);
    EXPECT_EQ(606, s.x);
    EXPECT_EQ(1036, s.y);
    s = Conv(*c, 1000, 31000);
    EXPECT_EQ(76, s.x);
    EXPECT_EQ(1036, s.y);
}

TEST_F(GridTest, RoundingCutsThenAddsOneAboveHalf)
{
    // Board units are screen pixels x 10 around the default targets, so the
    // screen x is x / 10 exactly.
    wd.SetGrid("ZTBoardWorkIRQ", 4, {760, 430, 760, 10360, 18430, 430, 18430, 10360});
    std::unique_ptr<CConversionBase> c = Make();
    const struct {
        double x;
        int sx;
    } cases[] = {{105, 10}, {105.1, 11}, {-27, -2}, {-22, -2}, {-25, -2}, {760, 76}, {12346, 1235}};
    for (const auto& p : cases)
        EXPECT_EQ(p.sx, Conv(*c, p.x, 430).x) << p.x;
}

// ---------------------------------------------------------------------------
// Cell search

struct CellCase {
    double x, y;
    int tl;
};

TEST_F(GridTest, TwentyPointsRegularGrid)
{
    // Columns at 1000 + 7500 i, rows at 500 + 10000 j.
    wd.SetGrid("ZTBoardWorkIRQ", 20, Grid(5, 4, 1000, 7500, 500, 10000));
    std::unique_ptr<CConversionBase> c = Make();
    EXPECT_EQ(5, c->m_nCols);
    EXPECT_EQ(4, c->m_nRows);
    ExpectDotsOnTargets(*c);
    CConversion& cc = dynamic_cast<CConversion&>(*c);
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(col * 4 + row, cc.FindCell(1000 + 7500 * col + 3750, 500 + 10000 * row + 5000))
                << col << "," << row;
    // Beyond the outer points: the border cells.
    const CellCase outside[] = {{-5000, -5000, 0}, {-5000, 40000, 2}, {40000, -5000, 12}, {40000, 40000, 14},
                                {16000, -100, 8},  {-100, 15000, 1}};
    for (const CellCase& p : outside)
        EXPECT_EQ(p.tl, cc.FindCell(p.x, p.y)) << p.x << "," << p.y;
    // Boundaries belong to the upper cell (<).
    EXPECT_EQ(5, cc.FindCell(8500, 10500));
    EXPECT_EQ(0, cc.FindCell(8499.9, 10499.9));
}

TEST_F(GridTest, TwentyPointsSkewedGridFallsToLaterTests)
{
    Dots d = Grid(5, 4, 1000, 7500, 500, 10000);
    d[2 * 6] = 6000;       // P6.x left of P5.x (8500)
    d[2 * 10 + 1] = 22000; // P10.y below P6.y
    wd.SetGrid("ZTBoardWorkIRQ", 20, d);
    std::unique_ptr<CConversionBase> c = Make();
    CConversion& cc = dynamic_cast<CConversion&>(*c);
    // P6.x <= x < P5.x and y >= P6.y: not caught by tests 1 to 3; test 6
    // holds (x < P10.x and y >= P10.y).
    EXPECT_EQ(6, cc.FindCell(7000, 25000));
    // Caught by no test: the cell whose centre lies nearest.
    EXPECT_EQ(2, cc.FindCell(7000, 21000));
    ScreenPoint s = Conv(*c, 7000, 21000);
    EXPECT_GT(s.x, 0);
    EXPECT_LT(s.x, 1920);
    EXPECT_GT(s.y, 0);
    EXPECT_LT(s.y, 1080);
    ExpectDotsOnTargets(*c);
}

TEST_F(GridTest, NinePointsBoundariesBelongToTheLowerCell)
{
    wd.SetGrid("ZTBoardWorkIRQ", 9, Grid(3, 3, 1000, 15500, 500, 15750));
    std::unique_ptr<CConversionBase> c = Make();
    CConversion& cc = dynamic_cast<CConversion&>(*c);
    const double px = 16500, py = 16250; // P4
    const CellCase cases[] = {{px, py, 0},           {px, py + 0.01, 1}, {px + 0.01, py, 3},
                              {px + 0.01, py + 0.01, 4}, {0, 0, 0},      {40000, 40000, 4}};
    for (const CellCase& p : cases)
        EXPECT_EQ(p.tl, cc.FindCell(p.x, p.y)) << p.x << "," << p.y;
    ExpectDotsOnTargets(*c);
}

TEST_F(GridTest, CountsWithoutALayoutUseTheFirstNinePoints)
{
    Dots d = Grid(3, 3, 1000, 15500, 500, 15750);
    d.push_back(99999);
    d.push_back(99999);
    wd.SetGrid("ZTBoardWorkIRQ", 10, d);
    std::unique_ptr<CConversionBase> c;
    std::string out = MakePrinting(&c);
    EXPECT_EQ(3, c->m_nCols);
    EXPECT_EQ(3, c->m_nRows);
    EXPECT_NE(std::string::npos, out.find("**Quenlo**Pos9>>(0,0)")) << out;
    EXPECT_EQ(std::string::npos, out.find("**Quenlo**Pos10>>")) << out;
    ScreenPoint s = Conv(*c, 16500, 16250);
    EXPECT_EQ((int)c->m_pos[4][0], s.x);
    EXPECT_EQ((int)c->m_pos[4][1], s.y);
}

struct LayoutCase {
    const char* name;
    int cols, rows;
    std::vector<double> colX; // column positions (board x)
    std::vector<double> rowY; // row positions (board y)
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class LayoutTest : public GridTest, public ::testing::WithParamInterface<LayoutCase> {};

// The 4 x 3 and 5 x 5 calibrations are used as measured: every measured
// point lands on its own target and every cell centre is found in its cell,
// also when the columns and rows are unevenly spaced.
TEST_P(LayoutTest, SearchesTheRealLayout)
{
    const LayoutCase& l = GetParam();
    Dots d;
    for (int i = 0; i < l.cols; ++i)
        for (int j = 0; j < l.rows; ++j) {
            // A slight skew, as a real measurement has.
            d.push_back(l.colX[i] + 37 * j);
            d.push_back(l.rowY[j] + 23 * i);
        }
    wd.SetGrid("ZTBoardWorkIRQ", l.cols * l.rows, d);
    std::unique_ptr<CConversionBase> c = Make();
    ASSERT_EQ(l.cols * l.rows, c->m_DotNum);
    EXPECT_EQ(l.cols, c->m_nCols);
    EXPECT_EQ(l.rows, c->m_nRows);
    ExpectDotsOnTargets(*c);
    CConversion& cc = dynamic_cast<CConversion&>(*c);
    for (int i = 0; i + 1 < l.cols; ++i)
        for (int j = 0; j + 1 < l.rows; ++j) {
            int tl = i * l.rows + j;
            double cx = (c->m_dot[tl].x + c->m_dot[tl + 1].x + c->m_dot[tl + l.rows].x + c->m_dot[tl + l.rows + 1].x) / 4;
            double cy = (c->m_dot[tl].y + c->m_dot[tl + 1].y + c->m_dot[tl + l.rows].y + c->m_dot[tl + l.rows + 1].y) / 4;
            EXPECT_EQ(tl, cc.FindCell(cx, cy)) << i << "," << j;
            // The centre maps between the cell's targets.
            ScreenPoint s = Conv(*c, cx, cy);
            EXPECT_GT(s.x, c->m_pos[tl][0]);
            EXPECT_LT(s.x, c->m_pos[tl + l.rows][0]);
            EXPECT_GT(s.y, c->m_pos[tl][1]);
            EXPECT_LT(s.y, c->m_pos[tl + 1][1]);
        }
    // Outside the grid: the corner cells.
    const int last = l.cols * l.rows - 1;
    EXPECT_EQ(0, cc.FindCell(-1e5, -1e5));
    EXPECT_EQ(last - l.rows - 1, cc.FindCell(1e6, 1e6));
    EXPECT_EQ(l.rows - 2, cc.FindCell(-1e5, 1e6));
    EXPECT_EQ((l.cols - 2) * l.rows, cc.FindCell(1e6, -1e5));
}

INSTANTIATE_TEST_SUITE_P(
    Pointer, LayoutTest,
    ::testing::Values(LayoutCase{"Twelve", 4, 3, {1000, 11000, 21000, 31000}, {500, 16000, 31500}},
                      LayoutCase{"TwelveUneven", 4, 3, {1000, 5000, 20000, 31000}, {500, 6000, 31500}},
                      LayoutCase{"TwentyFive", 5, 5, {1000, 8500, 16000, 23500, 31000}, {500, 8000, 15500, 23000, 30500}},
                      LayoutCase{"TwentyFiveUneven", 5, 5, {1000, 3000, 16000, 29000, 31000}, {500, 2500, 6000, 25000, 31000}},
                      LayoutCase{"Twenty", 5, 4, {1000, 3000, 16000, 29000, 31000}, {500, 2500, 25000, 31000}}),
    [](const ::testing::TestParamInfo<LayoutCase>& i) { return std::string(i.param.name); });

// ---------------------------------------------------------------------------
// Broken grids

TEST_F(GridTest, MoreThanTwentyFivePointsUseTheFirstTwentyFive)
{
    Dots d = Grid(6, 5, 1000, 6000, 500, 7500); // 30 points
    wd.SetGrid("ZTBoardWorkIRQ", 30, d);
    std::unique_ptr<CConversionBase> c;
    std::string out = MakePrinting(&c);
    EXPECT_NE(std::string::npos, out.find("dotNum 30 is more than 25 points")) << out;
    EXPECT_EQ(25, c->m_DotNum);
    EXPECT_EQ(5, c->m_nCols);
    EXPECT_EQ(5, c->m_nRows);
    for (int k = 0; k < 25; ++k) {
        EXPECT_EQ(d[2 * k], c->m_dot[k].x);
        EXPECT_EQ(d[2 * k + 1], c->m_dot[k].y);
    }
    EXPECT_EQ(std::string::npos, out.find("**Quenlo**Pos25>>")) << out;
    ExpectDotsOnTargets(*c);
}

TEST_F(GridTest, GridlessSectionsConvertWithoutFault)
{
    wd.SetElement("ZTBoardWorkIRQ", "coordinate", "");
    wd.SetGrid("ZTBoardWorkDVT", -3, {});
    std::unique_ptr<CConversionBase> c = Make();
    EXPECT_EQ(0, c->m_DotNum);
    EXPECT_EQ(3, c->m_nCols);
    // All points zero: every cell is degenerate; the result is defined.
    ScreenPoint s = Conv(*c, 1000, 1000);
    EXPECT_EQ(0, s.x);
    EXPECT_EQ(0, s.y);

    std::unique_ptr<CConversionBase> neg;
    ::testing::internal::CaptureStdout();
    neg = Make("ZTBoardWorkDVT");
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(0, neg->m_DotNum);
    EXPECT_NE(std::string::npos, out.find("dotNum -3")) << out;
}

TEST_F(GridTest, UpdateRereadsTheGrid)
{
    std::unique_ptr<CConversionBase> c = Make();
    EXPECT_EQ(4, c->m_DotNum);
    wd.SetGrid("ZTBoardWorkIRQ", 9, Grid(3, 3, 1000, 15500, 500, 15750));
    c->Update();
    EXPECT_EQ(9, c->m_DotNum);
    EXPECT_EQ(3, c->m_nCols);
    ExpectDotsOnTargets(*c);
}

TEST_F(GridTest, FactoryPicksTheProjectiveConversionForTheCameraBoard)
{
    std::unique_ptr<CConversionBase> lt(CreateConversion("ZTBoardWorkLT", "coordinate"));
    std::unique_ptr<CConversionBase> irq(CreateConversion("ZTBoardWorkIRQ", "coordinate"));
    EXPECT_NE(nullptr, dynamic_cast<CConversionATF*>(lt.get()));
    EXPECT_NE(nullptr, dynamic_cast<CConversion*>(irq.get()));
    EXPECT_EQ(0, lt->m_nScreenWidth);
    EXPECT_EQ(0, lt->m_DotNum);
    EXPECT_EQ(wxString("coordinate"), irq->m_strSection);
}

// ---------------------------------------------------------------------------
// Camera board: projective cells and camera area

class ATFTest : public GridTest {
protected:
    bool ConvPt(CConversionBase& c, double x, double y, int* xy)
    {
        BoardPoint b;
        b.x = x;
        b.y = y;
        return c.ConvertPoint(&b, xy);
    }
};

TEST_F(ATFTest, FourPointsMapTheCameraFrame)
{
    wd.SetGrid("ZTBoardWorkLT", 4, {401, 333, 401, 2111, 2746, 333, 2746, 2111});
    std::unique_ptr<CConversionBase> c;
    std::string out = MakePrinting(&c, "ZTBoardWorkLT");
    EXPECT_NE(std::string::npos, out.find("CConversionATF::Update()\n")) << out;
    // Margins 234.5 and 193.26: right 2980, left 166, top 139, bottom 2304.
    EXPECT_EQ((std::array<int, 4>{298, 17, 14, 230}), c->GetCameraRect());

    const PointCase onTargets[] = {{401, 333, 76, 43}, {401, 2111, 76, 1036}, {2746, 333, 1843, 43},
                                   {2746, 2111, 1843, 1036}, {1573, 1222, 959, 539}};
    for (const PointCase& p : onTargets) {
        int xy[2];
        EXPECT_TRUE(ConvPt(*c, p.x, p.y, xy)) << p.x << "," << p.y;
        EXPECT_NEAR(p.sx, xy[0], 1) << p.x << "," << p.y;
        EXPECT_NEAR(p.sy, xy[1], 1) << p.x << "," << p.y;
    }
    // Beyond the widened frame (x < 0): false, the output untouched, and
    // Convert gives (0, 0).
    int xy[2] = {-7, -7};
    EXPECT_FALSE(ConvPt(*c, -5, 1000, xy));
    EXPECT_EQ(-7, xy[0]);
    EXPECT_EQ(-7, xy[1]);
    ScreenPoint s = Conv(*c, -5, 1000);
    EXPECT_EQ(0, s.x);
    EXPECT_EQ(0, s.y);
    EXPECT_FALSE(ConvPt(*c, 3200, 1000, xy));
    EXPECT_FALSE(ConvPt(*c, 1000, 2400, xy));
    // Inside the frame but left of the screen: false, the point still stored.
    EXPECT_FALSE(ConvPt(*c, 100, 1000, xy));
    EXPECT_LT(xy[0], 0);
    s = Conv(*c, 100, 1000);
    EXPECT_EQ(0, s.x);
    EXPECT_EQ(0, s.y);
    // The frame's corner pixel is inside the widened border cell.
    xy[0] = xy[1] = -7;
    EXPECT_FALSE(ConvPt(*c, 0, 0, xy));
    EXPECT_NE(-7, xy[0]);

    ::testing::internal::CaptureStdout();
    c.reset();
    out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("******in CConversionATF::~CConversionATF()")) << out;
}

TEST_F(ATFTest, MirroredGridIsWidenedTowardsItsOwnEdges)
{
    // The camera sees the board turned: the first point is bottom right.
    wd.SetGrid("ZTBoardWorkLT", 4, {2746, 2111, 2746, 333, 401, 2111, 401, 333});
    std::unique_ptr<CConversionBase> c = Make("ZTBoardWorkLT");
    EXPECT_EQ((std::array<int, 4>{298, 17, 14, 230}), c->GetCameraRect());
    EXPECT_EQ(3200, c->m_dot[0].x);
    EXPECT_EQ(2400, c->m_dot[0].y);
    EXPECT_EQ(0, c->m_dot[3].x);
    EXPECT_EQ(0, c->m_dot[3].y);
    int xy[2];
    EXPECT_TRUE(ConvPt(*c, 2746, 2111, xy));
    EXPECT_NEAR(76, xy[0], 1);
    EXPECT_NEAR(43, xy[1], 1);
    EXPECT_TRUE(ConvPt(*c, 1573, 1222, xy));
    EXPECT_NEAR(959, xy[0], 1);
    EXPECT_NEAR(539, xy[1], 1);
    EXPECT_FALSE(ConvPt(*c, 3300, 1222, xy));
}

TEST_F(ATFTest, CellWithCollinearCornersHoldsNoPoint)
{
    // 3 x 3; P0 moved onto the line through P1 and P4.
    Dots d = Grid(3, 3, 400, 1200, 300, 900);
    d[0] = 1000;
    d[1] = 1200;
    wd.SetGrid("ZTBoardWorkLT", 9, d);
    std::unique_ptr<CConversionATF> c(dynamic_cast<CConversionATF*>(Make("ZTBoardWorkLT").release()));
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->m_bCellSolved[0]);
    EXPECT_TRUE(c->m_bCellSolved[1]);
    EXPECT_TRUE(c->m_bCellSolved[2]);
    EXPECT_TRUE(c->m_bCellSolved[3]);
    for (int k = 0; k < 8; ++k)
        EXPECT_TRUE(std::isfinite(c->m_dCoef[0][k]));
    int xy[2] = {-7, -7};
    EXPECT_FALSE(ConvPt(*c, 500, 500, xy)); // in cell 0
    EXPECT_EQ(-7, xy[0]);
    EXPECT_TRUE(ConvPt(*c, 2000, 500, xy)); // in cell 2
    EXPECT_GT(xy[0], 960);
    EXPECT_LT(xy[0], 1843);
    EXPECT_GT(xy[1], 43);
    EXPECT_LT(xy[1], 540);
}

TEST_F(ATFTest, CellWithCoincidentCornersHoldsNoPoint)
{
    // A 2 x 2 grid whose right column was measured twice at one spot.
    wd.SetGrid("ZTBoardWorkLT", 4, {401, 333, 401, 2111, 2746, 1200, 2746, 1200});
    std::unique_ptr<CConversionATF> c(dynamic_cast<CConversionATF*>(Make("ZTBoardWorkLT").release()));
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->m_bCellSolved[0]);
    int xy[2] = {-7, -7};
    EXPECT_FALSE(ConvPt(*c, 1500, 1200, xy));
    EXPECT_EQ(-7, xy[0]);
}

TEST_F(ATFTest, GridlessCameraBoardConvertsNothing)
{
    wd.SetElement("ZTBoardWorkLT", "coordinate", "");
    std::unique_ptr<CConversionATF> c(dynamic_cast<CConversionATF*>(Make("ZTBoardWorkLT").release()));
    ASSERT_TRUE(c);
    for (int n = 0; n < 4; ++n)
        EXPECT_FALSE(c->m_bCellSolved[n]);
    const double probes[][2] = {{0, 0}, {1600, 1200}, {3199, 2399}, {-1, -1}};
    for (const auto& p : probes) {
        int xy[2] = {-7, -7};
        EXPECT_FALSE(ConvPt(*c, p[0], p[1], xy));
        EXPECT_EQ(-7, xy[0]);
    }
    EXPECT_FALSE(ConvPt(*c, NAN, 5, nullptr));
}

TEST_F(ATFTest, CameraRectClampsToTheFrame)
{
    wd.SetGrid("ZTBoardWorkLT", 4, {100, 50, 100, 2350, 3100, 50, 3100, 2350});
    std::unique_ptr<CConversionBase> c = Make("ZTBoardWorkLT");
    EXPECT_EQ((std::array<int, 4>{320, 0, 0, 240}), c->GetCameraRect());
}

TEST_F(GridTest, CameraRectOnlyForTheCameraBoard)
{
    wd.SetGrid("ZTBoardWorkIRQ", 4, {401, 333, 401, 2111, 2746, 333, 2746, 2111});
    std::unique_ptr<CConversionBase> c = Make();
    EXPECT_EQ((std::array<int, 4>{0, 0, 0, 0}), c->GetCameraRect());
}

} // namespace
