#include "ZTBoardIPCSock.h"

#include <wx/app.h>
#include <wx/socket.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "App/ZTBoardApp.h"
#include "Common.h"
#include "Work/BoardTypes.h"
#include "Work/ZTBoardWorkBase.h"

namespace {

// "#ZT@": one byte not examined, the header "ZT", one byte not examined.
const int kCommandOffset = 4;

// Commands matched by their first characters, tried in this order (so that
// "StartDualSplit" is not taken for "StartDual"). The argument follows the
// word after one separator character.
struct PrefixCommand {
    const char* pWord;
    int nCode;
};
const PrefixCommand kPrefixCommands[] = {
    {"StartDualSplit", CZTBoardIPCSock::RECV_START_DUAL_SPLIT},
    {"StartDual", CZTBoardIPCSock::RECV_START_DUAL},
    {"ShutDownDual", CZTBoardIPCSock::RECV_SHUTDOWN_DUAL},
    {"WorkRect", CZTBoardIPCSock::RECV_WORK_RECT},
};

// Commands that must make up the whole rest of the text.
struct WholeCommand {
    const char* pWord;
    int nCode;
};
const WholeCommand kWholeCommands[] = {
    {"Start", CZTBoardIPCSock::RECV_START},
    {"Close", CZTBoardIPCSock::RECV_CLOSE},
    {"Earea", CZTBoardIPCSock::RECV_EAREA},
    {"Mouse", CZTBoardIPCSock::RECV_MOUSE},
    {"Pen", CZTBoardIPCSock::RECV_PEN},
    {"InBoardFrm", CZTBoardIPCSock::RECV_IN_BOARD_FRM},
    {"NotInBoardFrm", CZTBoardIPCSock::RECV_NOT_IN_BOARD_FRM},
};

// Worker commands (SetWorkMode codes) sent for received commands.
enum { WORK_DUAL_FULL = 8, WORK_DUAL_SPLIT = 9, WORK_DUAL_OFF = 10, WORK_RECT_MID = 11 };

} // namespace

CZTBoardIPCSock::CZTBoardIPCSock()
    : m_pSocket(nullptr), m_pAddr(nullptr), m_iStyle(-1), m_iDualPort(0)
{
}

CZTBoardIPCSock::~CZTBoardIPCSock()
{
    if (m_pSocket)
        m_pSocket->Destroy();
    delete m_pAddr;
}

bool CZTBoardIPCSock::Open(wxEvtHandler* pHandler)
{
    m_pAddr = new wxIPV4address();
    // Only the loopback address: the commands received here close the board
    // and switch its modes, and every peer runs on this machine.
    m_pAddr->Hostname("127.0.0.1");
    m_pAddr->Service(PORT_LOCAL);
    errno = 0;
    m_pSocket = new wxDatagramSocket(*m_pAddr, wxSOCKET_NOWAIT | wxSOCKET_REUSEADDR);
    if (m_pSocket->IsOk()) {
        if (pHandler) {
            m_pSocket->SetEventHandler(*pHandler, 2000);
            m_pSocket->SetNotify(wxSOCKET_INPUT_FLAG);
            m_pSocket->Notify(true);
        }
        ZTPrintLine("**Quenlo**SoftIPCSocket is ok >>%d", 0);
    } else {
        // A socket that failed to bind has no error code of its own to ask
        // (asking it crashes): the system's reason is printed instead.
        ZTPrintLine("**Quenlo**SoftIPCSocket is not ok >>%d", errno);
    }
    // From now on the address is the destination.
    m_pAddr->Service(PORT_SOFTWARE);
    return true;
}

void CZTBoardIPCSock::Send(const void* pData, int nLen)
{
    if (!m_pSocket || !m_pAddr || !pData || nLen <= 0 || !m_pSocket->IsOk())
        return;
    m_pSocket->SendTo(*m_pAddr, pData, (wxUint32)nLen);
}

void CZTBoardIPCSock::SendMessage(int nIndex)
{
    const char* pWord;
    switch (nIndex) {
    case MSG_DISCONNECT: pWord = "#ZT@DisConnect"; break;
    case MSG_CONNECT: pWord = "#ZT@Connect"; break;
    case MSG_IS_START: pWord = "#ZT@IsStart"; break;
    default: return;
    }
    char buf[50] = {0};
    const char* pStyle = nIndex == MSG_IS_START ? nullptr : ZTStyleName(m_iStyle);
    if (pStyle)
        snprintf(buf, sizeof buf, "%s@%s", pWord, pStyle);
    else
        snprintf(buf, sizeof buf, "%s", pWord);
    Send(buf, (int)strlen(buf));
}

bool CZTBoardIPCSock::IsTrustedSender(const wxIPV4address& from)
{
    return from.IPAddress().StartsWith("127.");
}

void CZTBoardIPCSock::OnRecv(char* pText)
{
    if (!pText)
        return;
    ZTPrintLine("**Quenlo**OnRecv>>%s", pText);
    Dispatch(Parse(pText));
}

int CZTBoardIPCSock::Parse(const char* pText)
{
    size_t len = pText ? strlen(pText) : 0;
    if (len < (size_t)kCommandOffset)
        return RECV_UNKNOWN;
    // Anything without the header is not from the whiteboard software.
    if (pText[1] != 'Z' || pText[2] != 'T')
        return RECV_UNKNOWN;
    const char* pCmd = pText + kCommandOffset;
    for (const PrefixCommand& c : kPrefixCommands) {
        size_t n = strlen(c.pWord);
        if (strncmp(pCmd, c.pWord, n) != 0)
            continue;
        // The argument starts after the separator; a text that ends at the
        // word or the separator has an empty one.
        const char* pArg = strlen(pCmd) > n ? pCmd + n + 1 : "";
        return ParsePrefixArgument(c.nCode, pArg);
    }
    for (const WholeCommand& c : kWholeCommands)
        if (strcmp(pCmd, c.pWord) == 0)
            return c.nCode;
    return RECV_UNKNOWN;
}

int CZTBoardIPCSock::ParsePrefixArgument(int nCode, const char* pArg)
{
    switch (nCode) {
    case RECV_START_DUAL_SPLIT:
    case RECV_START_DUAL:
        m_iDualPort = atoi(pArg);
        break;
    case RECV_WORK_RECT:
        WorkRect(pArg);
        break;
    default:
        break;
    }
    return nCode;
}

void CZTBoardIPCSock::WorkRect(const char* pArg)
{
    int x = 0, y = 0, w = 0, h = 0;
    if (sscanf(pArg, "%d,%d,%d,%d", &x, &y, &w, &h) != 4) {
        ZTPrintLine("**Quenlo**WorkRect without x,y,w,h: \"%s\"", pArg);
        return;
    }
    long long mid = (long long)x + w / 2;
    if (mid > INT_MAX)
        mid = INT_MAX;
    else if (mid < INT_MIN)
        mid = INT_MIN;
    ZTPrintLine("str=%s  (%d, %d, %d, %d) mid = %d", pArg, x, y, w, h, (int)mid);
    WorkerCommand(WORK_RECT_MID, (int)mid);
}

void CZTBoardIPCSock::Dispatch(int nCode)
{
    switch (nCode) {
    case RECV_START:
        g_bSoftOnline = true;
        SendMessage(ZTStyleName(m_iStyle) ? MSG_CONNECT : MSG_DISCONNECT);
        break;
    case RECV_CLOSE:
        g_bSoftOnline = false;
        WorkerCommand(WORK_DUAL_OFF, 0);
        break;
    case RECV_START_DUAL_SPLIT: WorkerCommand(WORK_DUAL_SPLIT, m_iDualPort); break;
    case RECV_START_DUAL: WorkerCommand(WORK_DUAL_FULL, m_iDualPort); break;
    case RECV_SHUTDOWN_DUAL: WorkerCommand(WORK_DUAL_OFF, 0); break;
    case RECV_IN_BOARD_FRM: g_bInBoardFrm = true; break;
    case RECV_NOT_IN_BOARD_FRM: g_bInBoardFrm = false; break;
    default: break;
    }
}

void CZTBoardIPCSock::WorkerCommand(int nCmd, int nMid)
{
    auto* pApp = dynamic_cast<CZTBoardApp*>(wxTheApp);
    if (pApp)
        pApp->WithWorker([=](CZTBoardWorkBase* w) { w->SetWorkMode(nCmd, nMid); });
}
