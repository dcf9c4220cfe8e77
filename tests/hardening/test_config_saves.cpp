// Saving a settings file that was loaded must never leave a file that no
// longer loads: the next start would lose the calibration and every setting.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "ConfigXML.h"
#include "ZtTestEnv.h"

namespace {

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Files the parser takes although they are damaged, each with what the
// service writes into it when a worker starts.
struct Case {
    const char* name;
    const char* text;
};
const Case kCases[] = {
    // Found by fuzzing: text after the root element, ended by a stray
    // closing tag, is accepted when read but written so that it is not.
    {"TextAfterRootEndedByAClosingTag",
     "<?xml version=\"1.0\"?>\n<ZTBoard><Global><CurrentRun TYPE=\"x\"/></Global></ZTBoard>\n"
     "left over</ZTBoard>\n"},
    {"TextAfterRootEndedByAnyClosingTag",
     "<ZTBoard><Global><CurrentRun TYPE=\"x\"/></Global></ZTBoard>ab</c>"},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class DamagedButLoadable : public ::testing::TestWithParam<Case> {};

TEST_P(DamagedButLoadable, SaveLeavesALoadableFile)
{
    zt::WorkDir dir("saves", false);
    dir.WriteConfig(GetParam().text);
    {
        CConfigXML cfg;
        ASSERT_TRUE(cfg.Load(dir.ConfigPath().c_str()));
        ASSERT_TRUE(cfg.SetStr("Global", "CurrentRun", "TYPE", "ZTBoardWorkIRQ"));
        cfg.Save();
    }
    CConfigXML again;
    ASSERT_TRUE(again.Load(dir.ConfigPath().c_str())) << Read(dir.ConfigPath());
    char type[20] = {0};
    EXPECT_TRUE(again.GetStr("Global", "CurrentRun", "TYPE", type));
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedButLoadable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) { return i.param.name; });

} // namespace
