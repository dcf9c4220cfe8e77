#include "ZTBoardDriverIPC.h"

// Minimal server: listens, accepts no topic yet.
CZTBoardDriverIPC::CZTBoardDriverIPC() : m_pConnection(nullptr) {}
CZTBoardDriverIPC::~CZTBoardDriverIPC() { CloseConnection(); }
wxConnectionBase* CZTBoardDriverIPC::OnAcceptConnection(const wxString&) { return nullptr; }
void CZTBoardDriverIPC::CloseConnection()
{
    if (!m_pConnection)
        return;
    m_pConnection->Disconnect();
    delete m_pConnection;
    m_pConnection = nullptr;
}
void CZTBoardDriverIPC::AdviseData(const wxString&) {}
