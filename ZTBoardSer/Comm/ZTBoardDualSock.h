// The TCP link to the dual-screen peer on 127.0.0.1.
#pragma once

class CZTBoardDualSock {
public:
    CZTBoardDualSock();
    virtual ~CZTBoardDualSock();
    bool Connect(int nPort);
    void SendPoint(int nAction, int x, int y);
    void SendTouch(int nId, int nState, int x, int y);
    void Close();
};
