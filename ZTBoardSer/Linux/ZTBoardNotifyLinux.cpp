#include "ZTBoardNotifyLinux.h"

#include <wx/utils.h>

// Placeholder: waits to be asked to end.
CZTBoardNotifyLinux::CZTBoardNotifyLinux() : m_pUdev(nullptr), m_pUsbDevice(nullptr) {}
CZTBoardNotifyLinux::~CZTBoardNotifyLinux() {}

wxThread::ExitCode CZTBoardNotifyLinux::Entry()
{
    while (!TestDestroy())
        wxMilliSleep(100);
    return 0;
}
