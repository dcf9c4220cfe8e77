// Board type codes: the worker factory and the style names.
#include <gtest/gtest.h>

#include <memory>
#include <typeinfo>

#include "DeviceTestUtil.h"
#include "Work/BoardTypes.h"
#include "Work/ZTBoardWorkBase.h"

using namespace devtest;

namespace {

struct TypeCase {
    int code;
    const char* workType;  // null: no worker class for this code
    int reportLen;
};

// Every code of the board type table, and codes without a class.
const TypeCase kTypes[] = {
    {0, "ZTBoardWorkETPD", 8},   {1, "ZTBoardWorkETPD", 8},   {2, "ZTBoardWorkPS", 8},
    {3, nullptr, 0},             {4, "ZTBoardWorkPSD", 8},    {5, nullptr, 0},
    {6, nullptr, 0},             {7, "ZTBoardWorkIR", 16},    {8, nullptr, 0},
    {9, nullptr, 0},             {10, "ZTBoardWorkIRX", 64},  {11, "ZTBoardWorkIRX", 64},
    {12, "ZTBoardWorkIRQ", 64},  {13, "ZTBoardWorkIRQ", 64},  {14, "ZTBoardWorkIRQ", 64},
    {15, "ZTBoardWorkIRQ", 64},  {16, "ZTBoardWorkUI", 8},    {17, "ZTBoardWorkLT", 24},
    {18, "ZTBoardWorkLT", 24},   {19, nullptr, 0},            {20, "ZTBoardWorkDVT", 64},
    {21, "ZTBoardWorkDVT", 64},  {22, "ZTBoardWorkDVTQ", 64}, {23, "ZTBoardWorkDVTQ", 64},
    {24, nullptr, 0},            {25, "ZTBoardWorkETPD", 8},  {26, "ZTBoardWorkETPD", 8},
    {27, "ZTBoardWorkIRHKC", 64}, {28, nullptr, 0},           {29, nullptr, 0},
    {30, nullptr, 0},            {31, nullptr, 0},            {32, nullptr, 0},
    {33, nullptr, 0},            {100, nullptr, 0},           {-1, nullptr, 0},
};

TEST(BoardTypes, TheFactoryMakesTheClassOfTheCode)
{
    for (const TypeCase& c : kTypes) {
        SCOPED_TRACE(c.code);
        Stdout out;
        std::unique_ptr<CZTBoardWorkBase> w(CZTBoardWorkBase::CreateWorkThread(c.code));
        EXPECT_EQ(1, out.Count("CreateWorkThread\n"));
        if (!c.workType) {
            EXPECT_EQ(nullptr, w);
            continue;
        }
        // A model whose class is not part of this build yet yields no
        // worker and says so; one that is must match the table.
        if (!w) {
            EXPECT_EQ(1, out.Count("No worker class for board type"));
            continue;
        }
        EXPECT_EQ(c.workType, w->m_strWorkType);
        EXPECT_EQ(c.reportLen, w->m_iDataLen);
    }
}

TEST(BoardTypes, CodesOfOneModelShareTheirClass)
{
    const int groups[][3] = {{1, 25, 26}, {10, 11, 11}, {17, 18, 18}};
    for (const auto& g : groups) {
        SCOPED_TRACE(g[0]);
        std::unique_ptr<CZTBoardWorkBase> a(CZTBoardWorkBase::CreateWorkThread(g[0]));
        if (!a)
            continue;  // not part of this build yet
        for (int code : {g[1], g[2]}) {
            std::unique_ptr<CZTBoardWorkBase> b(CZTBoardWorkBase::CreateWorkThread(code));
            ASSERT_NE(nullptr, b);
            EXPECT_EQ(typeid(*a), typeid(*b));
        }
    }
    // The four ZEZ codes are four classes of one work type.
    std::unique_ptr<CZTBoardWorkBase> zez(CZTBoardWorkBase::CreateWorkThread(12));
    if (zez) {
        for (int code : {13, 14, 15}) {
            std::unique_ptr<CZTBoardWorkBase> other(CZTBoardWorkBase::CreateWorkThread(code));
            ASSERT_NE(nullptr, other);
            EXPECT_NE(typeid(*zez), typeid(*other));
            EXPECT_EQ(zez->m_strWorkType, other->m_strWorkType);
        }
    }
}

TEST(BoardTypes, StyleNames)
{
    const char* names[] = {
        "StyleET",   "StyleETD",  "StylePS",   "StylePSG",  "StylePSD",   "StylePSDG",
        "StyleIR",   "StyleIRG",  "StyleIRD",  "StyleIRDG", "StyleIRXG",  "StyleIRXDG",
        "StyleIRQ",  "StyleIRQ",  "StyleIRQ",  "StyleIRQ",  "StyleUI",    "StyleLT",
        "StyleLTFD", "StyleLTTD", "StyleDVT",  "StyleDVT",  "StyleDVTQ",  "StyleDVTQ",
        "StyleOI",   "StyleETP",  "StyleETPD", "StyleIRHKC", "StylePenHolder"};
    for (int code = 0; code <= 28; ++code) {
        SCOPED_TRACE(code);
        ASSERT_NE(nullptr, ZTStyleName(code));
        EXPECT_STREQ(names[code], ZTStyleName(code));
    }
    for (int code : {-1, 29, 30, 32, 1000})
        EXPECT_EQ(nullptr, ZTStyleName(code)) << code;
}

} // namespace
