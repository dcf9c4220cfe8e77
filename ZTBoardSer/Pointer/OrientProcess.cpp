#include "OrientProcess.h"

// Placeholder until the calibration run lands.
COrientProcess::COrientProcess(const wxString& strWorkType) : m_strWorkType(strWorkType) {}
COrientProcess::~COrientProcess() {}
void COrientProcess::StartOrient(int nPointNum, int nMode)
{
    m_nPointNum = nPointNum;
    m_nMode = nMode;
    m_nRecvCount = 0;
    m_bWaitUp = false;
}
bool COrientProcess::AddSample(int, int) { return false; }
