#include "AppFixture.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include <X11/Xlib.h>
#include <chrono>
#include <cstdlib>

#include "App/ZTBoardApp.h"

namespace zt {

namespace {
long NowMs()
{
    using namespace std::chrono;
    return (long)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

AppFixture::AppFixture(const std::string& name, bool withConfig)
{
    XInitThreads();
    setenv("GDK_GL", "disable", 1);
    m_pX.reset(new Xvfb());
    m_pDir.reset(new WorkDir(name, withConfig));
    setenv("ZTBOARD_WORKDIR", m_pDir->Path().c_str(), 1);
    if (!m_pX->Ok())
        return;
    wxApp::SetInstance(new CZTBoardApp());
    static char arg0[] = "zt-test";
    static char* argv[] = {arg0, nullptr};
    int argc = 1;
    if (!wxEntryStart(argc, argv))
        return;
    m_pLoop = new wxEventLoop();
    wxEventLoopBase::SetActive(m_pLoop);
    m_bStarted = wxTheApp->CallOnInit();
}

AppFixture::~AppFixture()
{
    if (wxTheApp) {
        if (m_bStarted)
            wxTheApp->OnExit();
        wxEventLoopBase::SetActive(nullptr);
        delete m_pLoop;
        wxEntryCleanup();
    }
}

void AppFixture::RunFor(int ms)
{
    RunUntil([] { return false; }, ms);
}

bool AppFixture::RunUntil(const std::function<bool()>& pred, int timeoutMs)
{
    long deadline = NowMs() + timeoutMs;
    for (;;) {
        if (wxTheApp)
            wxTheApp->ProcessPendingEvents();
        if (pred())
            return true;
        if (NowMs() >= deadline)
            return false;
        if (m_pLoop)
            m_pLoop->DispatchTimeout(5);
        else
            SleepMs(5);
    }
}

} // namespace zt
