// The IPC server through which the calibration and settings tools steer the
// service.
#pragma once
#include <wx/ipc.h>

class CZTBoardDriverIPC : public wxTCPServer {
public:
    CZTBoardDriverIPC();
    ~CZTBoardDriverIPC() override;

    wxConnectionBase* OnAcceptConnection(const wxString& topic) override;
    void CloseConnection();
    void AdviseData(const wxString& text);

    wxConnectionBase* m_pConnection;
    wxString m_strItem;
};
