#include "ZTBoardWorkBase.h"

// Worker classes by board type code. A code whose class is not part of this
// build yields no worker and says so.
CZTBoardWorkBase* CZTBoardWorkBase::CreateWorkThread(int nBoardType)
{
    ZTPrintLine("CreateWorkThread");
    switch (nBoardType) {
    default:
        break;
    }
    ZTPrintLine("**ZTLog**No worker class for board type %d", nBoardType);
    return nullptr;
}
