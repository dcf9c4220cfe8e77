#include "ZTBoardIPCSock.h"

#include <wx/socket.h>

#include <cstdio>
#include <cstring>

#include "Common.h"
#include "Work/BoardTypes.h"

// Minimal companion socket: sending only; the receive table arrives later.
CZTBoardIPCSock::CZTBoardIPCSock() : m_pAddr(nullptr), m_pSocket(nullptr), m_iStyle(-1) {}

CZTBoardIPCSock::~CZTBoardIPCSock()
{
    if (m_pSocket)
        m_pSocket->Destroy();
    delete m_pAddr;
}

bool CZTBoardIPCSock::Open(wxEvtHandler* pHandler)
{
    m_pAddr = new wxIPV4address();
    m_pAddr->Hostname("localhost");
    m_pAddr->AnyAddress();
    m_pAddr->Service(9999);
    m_pSocket = new wxDatagramSocket(*m_pAddr, wxSOCKET_NOWAIT | wxSOCKET_REUSEADDR);
    if (pHandler) {
        m_pSocket->SetEventHandler(*pHandler, 2000);
        m_pSocket->SetNotify(wxSOCKET_INPUT_FLAG);
        m_pSocket->Notify(true);
    }
    if (m_pSocket->IsOk())
        ZTPrintLine("**Quenlo**SoftIPCSocket is ok >>%d", 0);
    else
        ZTPrintLine("**Quenlo**SoftIPCSocket is not ok >>%d", (int)m_pSocket->LastError());
    m_pAddr->Service(10000);
    return true;
}

void CZTBoardIPCSock::Send(const char* pData, int nLen)
{
    if (m_pSocket && m_pAddr)
        m_pSocket->SendTo(*m_pAddr, pData, nLen);
}

void CZTBoardIPCSock::SendMessage(int nIndex)
{
    char buf[50] = {0};
    const char* style = ZTStyleName(m_iStyle);
    switch (nIndex) {
    case 0: snprintf(buf, sizeof buf, "#ZT@DisConnect%s%s", style ? "@" : "", style ? style : ""); break;
    case 1: snprintf(buf, sizeof buf, "#ZT@Connect@%s", style ? style : ""); break;
    case 4: snprintf(buf, sizeof buf, "#ZT@IsStart"); break;
    default: return;
    }
    Send(buf, (int)strlen(buf));
}

void CZTBoardIPCSock::OnRecv(char* pText)
{
    ZTPrintLine("**Quenlo**OnRecv>>%s", pText);
    Dispatch(Parse(pText));
}

int CZTBoardIPCSock::Parse(const char*) { return -1; }
void CZTBoardIPCSock::Dispatch(int) {}

