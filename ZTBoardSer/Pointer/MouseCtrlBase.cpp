#include "MouseCtrlBase.h"

// Minimal pointer output: the full state machine replaces this.
CMouseCtrlBase::CMouseCtrlBase(const wxString& strWorkType) : m_strWorkType(strWorkType) {}
CMouseCtrlBase::~CMouseCtrlBase() {}
void CMouseCtrlBase::LoadConstants() {}

void CMouseCtrlBase::MouseEvent(int x, int y, int nType)
{
    if (nType == MOUSE_DOWN) {
        MoveTo(x, y);
        if (!m_bPressed)
            LeftDown();
        m_bPressed = true;
    } else if (nType == MOUSE_UP) {
        if (m_bPressed)
            LeftUp();
        m_bPressed = false;
    }
}
void CMouseCtrlBase::FilterMouseEvent(int x, int y, int nType) { MouseEvent(x, y, nType); }
void CMouseCtrlBase::SmoothMouseEvent(int x, int y, int nType) { MouseEvent(x, y, nType); }
void CMouseCtrlBase::DualMouseEvent(int x, int y, int nType) {}
