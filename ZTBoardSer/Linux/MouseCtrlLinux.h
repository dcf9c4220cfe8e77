// Pointer output through the X server's XTest extension.
#pragma once
#include "Pointer/MouseCtrlBase.h"

typedef struct _XDisplay Display;

class CMouseCtrlLinux : public CMouseCtrlBase {
public:
    explicit CMouseCtrlLinux(const wxString& strWorkType);
    ~CMouseCtrlLinux() override;

    bool OpenDisplay();
    bool CloseDisplay();

    // One XTest request each, flushed at once so that the pointer moves with
    // the sample that caused it. Without a display they do nothing.
    int LeftDown() override;
    int RightDown() override;
    int LeftUp() override;
    int RightUp() override;
    int LeftDownEx() override;
    int MoveTo(int x, int y) override;

    // Opened on the thread that creates the worker and then used by the
    // worker thread, and by the main thread's release timer, which the
    // application serialises with the worker; main() calls XInitThreads.
    Display* m_pDisplay;

private:
    int FakeButton(unsigned int nButton, bool bPress);
};
