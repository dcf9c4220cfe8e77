// The workers are wxThreads: the toolkit's base must be initialised.
#include <gtest/gtest.h>
#include <wx/init.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    wxInitializer wx;
    if (!wx.IsOk())
        return 1;
    return RUN_ALL_TESTS();
}
