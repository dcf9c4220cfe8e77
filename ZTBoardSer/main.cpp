#include <wx/app.h>
#include <X11/Xlib.h>
#include <cstdlib>

#include "App/ZTBoardApp.h"



int main(int argc, char** argv)
{
    // The worker's pointer output and the toolkit use separate X connections
    // from separate threads; a connection may also be handed from the
    // watcher thread that creates a worker to the worker itself.
    XInitThreads();
    // The service draws nothing: skip the toolkit's OpenGL probe, which
    // costs tens of megabytes.
    setenv("GDK_GL", "disable", 0);
    wxApp::SetInstance(new CZTBoardApp());
    return wxEntry(argc, argv);
}
