// The real application object running inside the test process, on a private
// X server and in a working directory of its own. Tests install workers of
// their own with wxGetApp().StartWorker(...) and pump the event loop.
//
// The toolkit can be started once per process: use one AppFixture per test
// process (CTest runs every test case in a process of its own).
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "ZtTestEnv.h"

class wxEventLoopBase;

namespace zt {

class AppFixture {
public:
    // Starts Xvfb, makes the working directory (with the shipped config
    // unless withConfig is false) and runs the application's start-up.
    explicit AppFixture(const std::string& name = "app", bool withConfig = true);
    ~AppFixture();

    bool Started() const { return m_bStarted; }
    const WorkDir& Dir() const { return *m_pDir; }
    // Runs the event loop for ms milliseconds.
    void RunFor(int ms);
    // Runs the event loop until pred() holds; false after timeoutMs.
    bool RunUntil(const std::function<bool()>& pred, int timeoutMs = 5000);

private:
    std::unique_ptr<Xvfb> m_pX;
    std::unique_ptr<WorkDir> m_pDir;
    wxEventLoopBase* m_pLoop = nullptr;
    bool m_bStarted = false;
};

} // namespace zt
