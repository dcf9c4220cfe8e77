// The UDP link with the whiteboard software: bound to port 9999, sending to 10000.
#pragma once

class wxDatagramSocket;
class wxIPV4address;
class wxEvtHandler;

class CZTBoardIPCSock {
public:
    CZTBoardIPCSock();
    virtual ~CZTBoardIPCSock();

    // Creates the socket with pHandler as its event handler (id 2000).
    bool Open(wxEvtHandler* pHandler = nullptr);
    void Send(const char* pData, int nLen);
    void SendMessage(int nIndex);
    void SetStyle(int nCode) { m_iStyle = nCode; }
    int GetStyle() const { return m_iStyle; }
    void OnRecv(char* pText);
    int Parse(const char* pText);
    void Dispatch(int nCode);
    wxDatagramSocket* GetSocket() const { return m_pSocket; }

    wxIPV4address* m_pAddr;
    wxDatagramSocket* m_pSocket;
    int m_iStyle;
};
