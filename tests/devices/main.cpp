// Simulated boards need the umockdev preload, and the watcher is a
// wxThread: re-execute under the preload, then start the toolkit's base.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

#include <csignal>
#include <string>

#include "BoardSim.h"

// The program that test_boardsim runs beside a simulated board.
int BoardsimChild(int argc, char** argv);

int main(int argc, char** argv)
{
    // Started by boardsim under its testbed: must not make one of its own.
    if (argc > 1 && std::string(argv[1]) == "--boardsim-child")
        return BoardsimChild(argc, argv);
    zt::sim::ZTSimEnsurePreload(argc, argv);
    // Simulated nodes are pseudo-terminals; a hang-up at unplug must never
    // end the test.
    signal(SIGHUP, SIG_IGN);
    ::testing::InitGoogleTest(&argc, argv);
    // The watcher's tests record its calls into the application instead of
    // running one: the toolkit's base is enough, no display is needed.
    wxApp::SetInitializerFunction(nullptr);
    wxInitializer wx;
    if (!wx.IsOk())
        return 1;
    return RUN_ALL_TESTS();
}
