#include "ZTBoardWorkBase.h"

#include "Work/ZEZ/ZTBoardWorkIRQ.h"
#include "Work/ZEZ/ZTBoardWorkIRQ16.h"
#include "Work/ZEZ/ZTBoardWorkIRQH.h"
#include "Work/ZEZ/ZTBoardWorkIRQT.h"

// Worker classes by board type code. A code whose class is not part of this
// build yields no worker and says so.
CZTBoardWorkBase* CZTBoardWorkBase::CreateWorkThread(int nBoardType)
{
    ZTPrintLine("CreateWorkThread");
    switch (nBoardType) {
    case 12: return new CZTBoardWorkIRQ();
    case 13: return new CZTBoardWorkIRQT();
    case 14: return new CZTBoardWorkIRQH();
    case 15: return new CZTBoardWorkIRQ16();
    default:
        break;
    }
    ZTPrintLine("**ZTLog**No worker class for board type %d", nBoardType);
    return nullptr;
}
