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

    int LeftDown() override;
    int RightDown() override;
    int LeftUp() override;
    int RightUp() override;
    int LeftDownEx() override;
    int MoveTo(int x, int y) override;

    // Each connection belongs to the thread that opened it.
    Display* m_pDisplay = nullptr;
};
