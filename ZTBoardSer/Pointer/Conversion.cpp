#include "Conversion.h"

#include "App/ZTBoardHost.h"

// Minimal linear conversion over the full 0..32767 board range; the
// calibration grid replaces it.
CConversionBase::CConversionBase(const wxString& strWorkType, const wxString& strSection)
    : m_strWorkType(strWorkType), m_strSection(strSection) {}
CConversionBase::~CConversionBase() {}

void CConversionBase::InitScreen()
{
    ZTHost()->GetScreenSize(&m_nScreenWidth, &m_nScreenHeight);
}
void CConversionBase::Update() { LoadDots(); }
void CConversionBase::LoadDots() {}

ScreenPoint CConversion::Convert(const BoardPoint* p)
{
    ScreenPoint s;
    s.x = (int)(p->x * m_nScreenWidth / 32768.0);
    s.y = (int)(p->y * m_nScreenHeight / 32768.0);
    return s;
}
bool CConversion::ConvertPoint(const BoardPoint* p, int* out)
{
    ScreenPoint s = Convert(p);
    out[0] = s.x;
    out[1] = s.y;
    return true;
}

CConversionBase* CreateConversion(const wxString& strWorkType, const wxString& strSection)
{
    return new CConversion(strWorkType, strSection);
}

void InitConversion(CConversionBase* pConversion)
{
    pConversion->InitScreen();
    pConversion->Update();
}
