// main() of test binaries with simulated boards.
#include <gtest/gtest.h>

#include <csignal>

#include "BoardSim.h"

int main(int argc, char** argv)
{
    zt::sim::ZTSimEnsurePreload(argc, argv);
    // A simulated node is a pseudo-terminal; hanging it up at unplug must
    // never end the test process.
    signal(SIGHUP, SIG_IGN);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
