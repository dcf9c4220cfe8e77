// The settings file: addressing, value formats, and saves that never leave
// a damaged file behind.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ConfigXML.h"
#include "ZtTestEnv.h"

namespace {

const char kSample[] = R"XML(<?xml version="1.0"?>
<!-- comment before the root -->
<Root>
  <!-- comment inside -->
  <Global>
    <port num="4869"/>
    <Device path=""/>
  </Global>
  <ZTBoardWorkIRQ>
    <Constants LIMIT_COUNT="120" RC1="0.4" BAD="abc"/>
    <coordinate dotNum="2" dot0="(1.5,2.25)" dot1="(-3,4e2)"/>
  </ZTBoardWorkIRQ>
  <ZTBoardWorkIRQ>
    <Constants LIMIT_COUNT="999"/>
  </ZTBoardWorkIRQ>
</Root>
)XML";

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir.reset(new zt::WorkDir("cfg", false));
        m_path = m_dir->ConfigPath();
        Write(kSample);
    }
    void Write(const std::string& text) { m_dir->WriteConfig(text); }
    std::string Read() { return m_dir->ReadConfig(); }

    std::unique_ptr<zt::WorkDir> m_dir;
    std::string m_path;
    CConfigXML m_cfg;
};

TEST_F(ConfigTest, GetIntByPresenceOfElementAndAttribute)
{
    ASSERT_TRUE(m_cfg.Load(m_path.c_str()));
    struct Case {
        const char *section, *element, *attribute;
        bool result;
        int expected;
    } cases[] = {
        {"ZTBoardWorkIRQ", "Constants", "LIMIT_COUNT", true, 120}, // first of two sections
        {"ZTBoardWorkIRQ", "Constants", "LIMIT_MOVE", true, -7},   // missing attribute: unchanged
        {"ZTBoardWorkIRQ", "Constants", "BAD", true, -7},          // does not scan: unchanged
        {"ZTBoardWorkUI", "Constants", "LIMIT_COUNT", false, 42},  // missing section: default
        {"Global", "Missing", "num", false, 42},                   // missing element: default
        {"", "Constants", "LIMIT_COUNT", false, 42},               // empty names find nothing
        {"ZTBoardWorkIRQ", "", "LIMIT_COUNT", false, 42},
    };
    for (const Case& c : cases) {
        int v = -7;
        EXPECT_EQ(c.result, m_cfg.GetInt(c.section, c.element, c.attribute, &v, 42))
            << c.section << "/" << c.element << "/" << c.attribute;
        EXPECT_EQ(c.expected, v) << c.section << "/" << c.element << "/" << c.attribute;
    }
}

TEST_F(ConfigTest, GetStrCopiesTextAndCutsToBuffer)
{
    ASSERT_TRUE(m_cfg.Load(m_path.c_str()));
    char buf[20] = {0};
    EXPECT_TRUE(m_cfg.GetStr("ZTBoardWorkIRQ", "Constants", "RC1", buf));
    EXPECT_STREQ("0.4", buf);
    char keep[20] = "unchanged";
    EXPECT_FALSE(m_cfg.GetStr("ZTBoardWorkIRQ", "Constants", "RC2", keep));
    EXPECT_STREQ("unchanged", keep);

    ASSERT_TRUE(m_cfg.SetStr("Global", "Device", "path", "/a/very/long/device/path/of/many/chars"));
    char small[20] = {0};
    EXPECT_TRUE(m_cfg.GetStr("Global", "Device", "path", small, sizeof small));
    EXPECT_EQ(19u, strlen(small));
}

TEST_F(ConfigTest, PointsReadAndWriteInTheirTextForm)
{
    ASSERT_TRUE(m_cfg.Load(m_path.c_str()));
    double xy[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_TRUE(m_cfg.GetPoints("ZTBoardWorkIRQ", "coordinate", "dot", 3, xy));
    EXPECT_DOUBLE_EQ(1.5, xy[0]);
    EXPECT_DOUBLE_EQ(2.25, xy[1]);
    EXPECT_DOUBLE_EQ(-3, xy[2]);
    EXPECT_DOUBLE_EQ(400, xy[3]);
    EXPECT_DOUBLE_EQ(9, xy[4]); // dot2 missing: pair unchanged
    EXPECT_FALSE(m_cfg.GetPoints("ZTBoardWorkIRQ", "nothing", "dot", 1, xy));

    const double out[4] = {1.5, 2.25, 10, 20};
    EXPECT_TRUE(m_cfg.SetPoints("ZTBoardWorkIRQ", "coordinate", "dot", 2, out));
    EXPECT_TRUE(m_cfg.Save());
    m_cfg.Close();
    std::string text = Read();
    EXPECT_NE(std::string::npos, text.find("dot0=\"(1.500000,2.250000)\"")) << text;
    EXPECT_NE(std::string::npos, text.find("dot1=\"(10.000000,20.000000)\"")) << text;
}

TEST_F(ConfigTest, SettersNeverCreateSectionsOrElements)
{
    ASSERT_TRUE(m_cfg.Load(m_path.c_str()));
    EXPECT_FALSE(m_cfg.SetStr("Global", "CurrentRun", "TYPE", "ZTBoardWorkIRQ"));
    EXPECT_FALSE(m_cfg.SetInt("NoSection", "port", "num", 1));
    EXPECT_TRUE(m_cfg.Save());
    m_cfg.Close();
    std::string text = Read();
    EXPECT_EQ(std::string::npos, text.find("CurrentRun"));
    EXPECT_EQ(std::string::npos, text.find("NoSection"));
}

TEST_F(ConfigTest, SetIntRoundTripsThroughTheFile)
{
    ASSERT_TRUE(m_cfg.Load(m_path.c_str()));
    EXPECT_TRUE(m_cfg.SetInt("Global", "port", "num", 5001));
    EXPECT_TRUE(m_cfg.SetInt("Global", "port", "extra", -3)); // new attribute on an existing element
    EXPECT_TRUE(m_cfg.Save());
    m_cfg.Close();

    CConfigXML again;
    ASSERT_TRUE(again.Load(m_path.c_str()));
    int port = 0, extra = 0;
    EXPECT_TRUE(again.GetInt("Global", "port", "num", &port, 0));
    EXPECT_TRUE(again.GetInt("Global", "port", "extra", &extra, 0));
    EXPECT_EQ(5001, port);
    EXPECT_EQ(-3, extra);
}

TEST_F(ConfigTest, UnloadableFilesFailToLoadAndFindNothing)
{
    struct Case {
        const char* name;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"truncated", std::string(kSample).substr(0, 120)},
        {"not xml", "this is not xml at all\n"},
        {"huge", "<Root>" + std::string(CConfigXML::kMaxFileSize, ' ') + "</Root>"},
    };
    for (const Case& c : cases) {
        Write(c.text);
        CConfigXML cfg;
        EXPECT_FALSE(cfg.Load(m_path.c_str())) << c.name;
        int v = 5;
        EXPECT_FALSE(cfg.GetInt("Global", "port", "num", &v, 4869)) << c.name;
        EXPECT_EQ(4869, v) << c.name;
        EXPECT_FALSE(cfg.Save()) << c.name; // a failed load never rewrites the file
        EXPECT_EQ(c.text.size(), Read().size()) << c.name;
    }
    CConfigXML missing;
    EXPECT_FALSE(missing.Load((m_dir->Path() + "/none.xml").c_str()));
}

TEST_F(ConfigTest, SaveKeepsThePermissionsOfTheFile)
{
    chmod(m_path.c_str(), 0640);
    ASSERT_TRUE(m_cfg.Load(m_path.c_str()));
    m_cfg.SetInt("Global", "port", "num", 1);
    ASSERT_TRUE(m_cfg.Save());
    struct stat st;
    ASSERT_EQ(0, stat(m_path.c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
}

// A process killed at any moment while it saves must leave a file that loads
// with the calibration in it.
TEST_F(ConfigTest, KilledWhileSavingAlwaysLeavesALoadableFile)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            double xy[50];
            for (int i = 0;; ++i) {
                CConfigXML cfg;
                cfg.Load(m_path.c_str());
                for (int k = 0; k < 50; ++k)
                    xy[k] = i + k;
                cfg.SetPoints("ZTBoardWorkIRQ", "coordinate", "dot", 25, xy);
                cfg.Save();
            }
        }
        usleep(2000 + rng() % 20000);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        CConfigXML cfg;
        ASSERT_TRUE(cfg.Load(m_path.c_str())) << "round " << round << ":\n" << Read();
        int n = 0;
        EXPECT_TRUE(cfg.GetInt("ZTBoardWorkIRQ", "coordinate", "dotNum", &n, -1));
        EXPECT_EQ(2, n);
    }
}

} // namespace
