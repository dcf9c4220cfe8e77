// The UDP link with the whiteboard software: bound to port 9999 on the
// loopback address, sending to port 10000 on the local host. Used on the main
// thread only: the application hands every call from other threads there
// (sending on this socket from two threads corrupts the framework's state).
#pragma once

class wxDatagramSocket;
class wxIPV4address;
class wxEvtHandler;

class CZTBoardIPCSock {
public:
    // Codes of the commands received from the whiteboard software.
    enum {
        RECV_UNKNOWN = -1,
        RECV_START = 0,
        RECV_CLOSE = 1,
        RECV_START_DUAL_SPLIT = 2,
        RECV_START_DUAL = 3,
        RECV_SHUTDOWN_DUAL = 4,
        RECV_WORK_RECT = 5,
        RECV_EAREA = 6,
        RECV_MOUSE = 7,
        RECV_PEN = 8,
        RECV_IN_BOARD_FRM = 9,
        RECV_NOT_IN_BOARD_FRM = 10,
    };
    // Messages built by SendMessage.
    enum { MSG_DISCONNECT = 0, MSG_CONNECT = 1, MSG_IS_START = 4 };
    enum { PORT_LOCAL = 9999, PORT_SOFTWARE = 10000 };

    CZTBoardIPCSock();
    virtual ~CZTBoardIPCSock();

    // Creates the socket with pHandler as its event handler (id 2000). A
    // failed bind is only printed: sends then go nowhere.
    virtual bool Open(wxEvtHandler* pHandler = nullptr);
    virtual void OnRecv(char* pText);
    virtual void Send(const void* pData, int nLen);

    void SendMessage(int nIndex);
    void SetStyle(int nCode) { m_iStyle = nCode; }
    int GetStyle() const { return m_iStyle; }
    int Parse(const char* pText);
    void Dispatch(int nCode);
    wxDatagramSocket* GetSocket() const { return m_pSocket; }
    // Port argument of the last dual-screen start command parsed.
    int GetDualPort() const { return m_iDualPort; }

    // Whether a datagram from this address may steer the service: only
    // programs on this machine may.
    static bool IsTrustedSender(const wxIPV4address& from);

    wxDatagramSocket* m_pSocket;
    wxIPV4address* m_pAddr;
    int m_iStyle;

private:
    int ParsePrefixArgument(int nCode, const char* pArg);
    void WorkRect(const char* pArg);
    static void WorkerCommand(int nCmd, int nMid);

    int m_iDualPort;
};
