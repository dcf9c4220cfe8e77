// The calibration ("orientation") run: measures the board positions of the
// calibration program's targets and stores them.
#pragma once
#include <wx/string.h>

class COrientProcess {
public:
    explicit COrientProcess(const wxString& strWorkType);
    virtual ~COrientProcess();

    void StartOrient(int nPointNum, int nMode);
    bool AddSample(int x, int y);

    wxString m_strWorkType;
    int m_nPointNum = 0;
    int m_nMode = 0;
    int m_nRecvCount = 0;
    bool m_bWaitUp = false;
};
