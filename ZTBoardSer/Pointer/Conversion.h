// Board-to-screen conversion through the calibration grid.
#pragma once
#include <wx/string.h>
#include "Common.h"

class CConversionBase {
public:
    CConversionBase(const wxString& strWorkType, const wxString& strSection);
    virtual ~CConversionBase();

    void InitScreen();
    virtual void Update();
    virtual ScreenPoint Convert(const BoardPoint* pBoardPt) = 0;
    virtual bool ConvertPoint(const BoardPoint* pBoardPt, int* pScreenPt) = 0;
    virtual void LoadDots();

    wxString m_strWorkType;
    wxString m_strSection;
    int m_nScreenWidth = 0;
    int m_nScreenHeight = 0;
};

class CConversion : public CConversionBase {
public:
    using CConversionBase::CConversionBase;
    ScreenPoint Convert(const BoardPoint* pBoardPt) override;
    bool ConvertPoint(const BoardPoint* pBoardPt, int* pScreenPt) override;
};

CConversionBase* CreateConversion(const wxString& strWorkType, const wxString& strSection);
void InitConversion(CConversionBase* pConversion);
