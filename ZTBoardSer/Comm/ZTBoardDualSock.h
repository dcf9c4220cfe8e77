// The TCP link to the dual-screen peer on 127.0.0.1.
#pragma once
#include <cstdint>

class CZTBoardDualSock {
public:
    // How long Connect may hold its caller (the main thread) for a peer that
    // does not answer.
    static constexpr int kConnectWaitMs = 1000;
    // How long one record may wait for a peer that has stopped reading
    // before the link is given up.
    static constexpr int kSendWaitMs = 200;
    enum { RECORD_SIZE = 20 };

    CZTBoardDualSock();
    virtual ~CZTBoardDualSock();
    CZTBoardDualSock(const CZTBoardDualSock&) = delete;
    CZTBoardDualSock& operator=(const CZTBoardDualSock&) = delete;

    bool Connect(int nPort);
    void SendPoint(int nAction, int x, int y);
    void SendTouch(int nId, int nState, int x, int y);
    void Close();
    bool IsConnected() const { return m_iSocket >= 0; }

private:
    void SendRecord(int32_t f1, int32_t f2, int32_t f3, int32_t f4, int32_t f5);
    bool SendAll(const unsigned char* pData, int nLen);

    // A plain POSIX stream socket, -1 when not connected: the framework's
    // socket client either blocks the event loop for its whole connect
    // time-out or dispatches events inside the wait. Used only on the main
    // thread (the application hands every call there).
    int m_iSocket;
};
