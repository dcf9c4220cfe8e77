#include "ZTBoardDualSock.h"

// Placeholder until the dual-screen link lands.
CZTBoardDualSock::CZTBoardDualSock() {}
CZTBoardDualSock::~CZTBoardDualSock() { Close(); }
bool CZTBoardDualSock::Connect(int) { return false; }
void CZTBoardDualSock::SendPoint(int, int, int) {}
void CZTBoardDualSock::SendTouch(int, int, int, int) {}
void CZTBoardDualSock::Close() {}
