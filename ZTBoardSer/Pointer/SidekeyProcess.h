// Side keys, pen-tray keys and pen buttons become command words for the
// whiteboard software.
#pragma once
#include <wx/string.h>

class CSidekeyProcess {
public:
    CSidekeyProcess(bool bHadHand, const wxString& strWorkType);
    virtual ~CSidekeyProcess();

    void LoadConfig();
    void LoadSoftKeyFlag();
    int HitTest(int x, int y);
    void OnSoftKey(int nIndex, int nType);
    void StartSoftKey(const wxString& strCmd);
    void ExecuteKey();
    void SendCmd(const wxString& strCmd, bool bDirect);

    bool m_bHadHand;
    wxString m_strWorkType;
    bool m_bSoftKey = false;
    int m_nKeyType = 0;
};
