// Pointer output: turns converted samples into pointer events.
#pragma once
#include <wx/string.h>
#include "Common.h"

class CMouseCtrlBase {
public:
    explicit CMouseCtrlBase(const wxString& strWorkType);
    virtual ~CMouseCtrlBase();

    // The six primitive requests of a platform.
    virtual int LeftDown() = 0;
    virtual int RightDown() = 0;
    virtual int LeftUp() = 0;
    virtual int RightUp() = 0;
    virtual int LeftDownEx() = 0;
    virtual int MoveTo(int x, int y) = 0;

    void LoadConstants();
    void MouseEvent(int x, int y, int nType);
    void FilterMouseEvent(int x, int y, int nType);
    void SmoothMouseEvent(int x, int y, int nType);
    void DualMouseEvent(int x, int y, int nType);

    bool IsPressed() const { return m_bPressed; }

    wxString m_strWorkType;
    int m_nLimitCount = 0;
    int m_nLimitMove = 0;
    float m_fRC1 = 0;
    float m_fRC2 = 0;
    bool m_bPressed = false;
};
