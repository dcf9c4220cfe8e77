#include "ZTBoardDriverIPC.h"

#include <wx/app.h>
#include <wx/socket.h>
#include <wx/utils.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>

#include "App/ZTBoardApp.h"
#include "Common.h"
#include "Device/DeviceBase.h"
#include "Work/ZTBoardWorkBase.h"

namespace {

// The camera viewer needs the camera released before it opens it.
const int kCameraReleaseWaitMs = 2000;

struct Topic {
    const char* pName;
    bool bFreesCamera;
};
const Topic kTopics[] = {
    {"Orient", false},     {"SideKey", false},  {"PENSET", false},   {"PENTRAYSET", false},
    {"DriversSet", false}, {"SetSpeed", false}, {"CAMVIEWER", true},
};

// Worker commands (SetWorkMode codes) the conversations send.
enum {
    WORK_NORMAL = 0,
    WORK_ORIENT = 1,
    WORK_SIDEKEY_ORIENT = 2,
    WORK_SIDEKEY_FLAG = 3,
    WORK_PENSET = 4,
    WORK_DRIVERSET_SAVE = 5,
    WORK_SIZE_REPORT = 6,
    WORK_AUTO = 7,
    WORK_SPEED = 12,
    WORK_PENTRAYSET = 13,
};

// What an advise start does: the first row whose topic, item and condition
// match. A null item matches any item; a negative nMid passes the item's
// number.
enum When { ANY, N_POSITIVE, N_NOT_POSITIVE };
const int kItemNumber = -1;
struct AdviseAction {
    const char* pTopic;
    const char* pItem;
    When when;
    int nCmd;
    int nMid;
    const char* pPrint;
};
const AdviseAction kAdviseActions[] = {
    {"Orient", nullptr, ANY, WORK_ORIENT, kItemNumber, nullptr},
    {"SideKey", nullptr, N_POSITIVE, WORK_SIDEKEY_ORIENT, kItemNumber, nullptr},
    {"SideKey", nullptr, N_NOT_POSITIVE, WORK_SIDEKEY_FLAG, 0, nullptr},
    {"PENSET", nullptr, ANY, WORK_PENSET, 0, "PENSET"},
    {"PENTRAYSET", nullptr, ANY, WORK_PENTRAYSET, 0, "PENTRAYSET"},
    {"SetSpeed", nullptr, ANY, WORK_SPEED, kItemNumber, nullptr},
    {"DriversSet", "save", ANY, WORK_DRIVERSET_SAVE, 0, nullptr},
    {"DriversSet", "data", ANY, WORK_SIZE_REPORT, 1, nullptr},
    {"DriversSet", "auto0", ANY, WORK_AUTO, 0, nullptr},
    {"DriversSet", "auto1", ANY, WORK_AUTO, 1, "auto1"},
    {"DriversSet", "auto2", ANY, WORK_AUTO, 2, nullptr},
    {"DriversSet", "auto3", ANY, WORK_AUTO, 3, nullptr},
};

const AdviseAction* FindAdviseAction(const wxString& topic, const wxString& item, int n)
{
    for (const AdviseAction& a : kAdviseActions) {
        if (topic != a.pTopic || (a.pItem && item != a.pItem))
            continue;
        if ((a.when == N_POSITIVE && n <= 0) || (a.when == N_NOT_POSITIVE && n > 0))
            continue;
        return &a;
    }
    return nullptr;
}

CZTBoardApp* App()
{
    return dynamic_cast<CZTBoardApp*>(wxTheApp);
}

bool WorkRun()
{
    CZTBoardApp* pApp = App();
    return pApp && pApp->IsWorkRun();
}

void WorkerCommand(int nCmd, int nMid)
{
    if (CZTBoardApp* pApp = App())
        pApp->WithWorker([=](CZTBoardWorkBase* w) { w->SetWorkMode(nCmd, nMid); });
}

} // namespace

// ---------------------------------------------------------------- MyConnection

MyConnection::MyConnection(CZTBoardDriverIPC* pServer) : m_pServer(pServer) {}

bool MyConnection::OnStartAdvise(const wxString& topic, const wxString& item)
{
    CZTBoardDriverIPC::CCallbackScope scope(m_pServer);
    if (!WorkRun())
        return false;
    SetNoDelay();
    int n = atoi(item.mb_str());
    if (const AdviseAction* a = FindAdviseAction(topic, item, n)) {
        if (a->pPrint)
            ZTPrintLine("%s", a->pPrint);
        WorkerCommand(a->nCmd, a->nMid == kItemNumber ? n : a->nMid);
    }
    m_strItem = item;
    return true;
}

bool MyConnection::OnStopAdvise(const wxString& topic, const wxString& item)
{
    CZTBoardDriverIPC::CCallbackScope scope(m_pServer);
    if (!WorkRun())
        return true;
    if (topic == "Orient" || topic == "SideKey")
        WorkerCommand(WORK_NORMAL, 0);
    else if (topic == "DriversSet" && item == "data")
        WorkerCommand(WORK_SIZE_REPORT, 0);
    return true;
}

bool MyConnection::OnDisconnect()
{
    CZTBoardDriverIPC::CCallbackScope scope(m_pServer);
    ZTPrintLine("**ZTLog**IPC disconnected>> %s", (const char*)m_topic.utf8_str());
    if (WorkRun()) {
        WorkerCommand(WORK_NORMAL, 0);
        WorkerCommand(WORK_SIZE_REPORT, 0);
    } else if (CZTBoardApp* pApp = App()) {
        // A camera board released for the viewer is opened again.
        pApp->RescanVideo();
    }
    return true;
}

bool MyConnection::IsOpen() const
{
    return GetConnected() && m_sock && m_sock->IsConnected();
}

bool MyConnection::AdviseText(const wxString& text)
{
    char data[4] = {0, 0, 0, 0};
    wxCharBuffer mb = text.mb_str(wxConvLibc);
    if (mb.data())
        strncpy(data, mb.data(), 3);
    data[3] = '\0';
    return Advise(m_strItem, data, sizeof data, wxIPC_PRIVATE);
}

void MyConnection::SetNoDelay()
{
    // The framework leaves Nagle's algorithm on: a stream of small advises
    // then waits up to tens of milliseconds each.
    if (!m_sock)
        return;
    int one = 1;
    setsockopt((int)m_sock->GetSocket(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// ----------------------------------------------------------- CZTBoardDriverIPC

CZTBoardDriverIPC::CZTBoardDriverIPC()
    : m_pConnection(nullptr), m_nInCallback(0), m_bFlushQueued(false),
      m_alive(std::make_shared<bool>(true))
{
}

CZTBoardDriverIPC::~CZTBoardDriverIPC()
{
    CloseConnection();
}

bool CZTBoardDriverIPC::Create(const wxString& service)
{
    if (!wxTCPServer::Create(service))
        return false;
    RestrictToLoopback();
    return true;
}

void CZTBoardDriverIPC::RestrictToLoopback()
{
    // The framework listens on every interface and cannot be told
    // otherwise; the tools that may steer the board all run on this
    // machine, so the listening socket takes connections over loopback only.
    if (!m_server)
        return;
    int fd = (int)m_server->GetSocket();
    static const char kLoopback[] = "lo";
    if (setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, kLoopback, sizeof kLoopback) != 0)
        ZTPrintLine("**ZTLog**IPC server not restricted to loopback: %s", strerror(errno));
    // Accepted connections inherit the option.
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

wxConnectionBase* CZTBoardDriverIPC::OnAcceptConnection(const wxString& topic)
{
    CloseConnection();
    const Topic* pTopic = nullptr;
    for (const Topic& t : kTopics)
        if (topic == t.pName)
            pTopic = &t;
    if (!pTopic) {
        ZTPrintLine("**ZTLog**IPC topic refused>> %s", (const char*)topic.utf8_str());
        return nullptr;
    }
    ZTPrintLine("**ZTLog**IPC topic>> %s", pTopic->pName);
    if (pTopic->bFreesCamera) {
        CloseCameraBoard();
        wxMilliSleep(kCameraReleaseWaitMs);
    }
    m_pConnection = new MyConnection(this);
    return m_pConnection;
}

void CZTBoardDriverIPC::CloseCameraBoard()
{
    CZTBoardApp* pApp = App();
    if (!pApp || !pApp->IsWorkRun())
        return;
    // The worker's device (and its path) goes away while the watcher closes
    // it: work on copies.
    DeviceInfo info;
    std::string path;
    bool bHave = false;
    pApp->WithWorker([&](CZTBoardWorkBase* w) {
        if (!w->GetDevice())
            return;
        info = w->GetDevice()->GetInfo();
        path = info.pDevPath ? info.pDevPath : "";
        bHave = true;
    });
    if (!bHave)
        return;
    info.pDevPath = info.pDevPath ? &path[0] : nullptr;
    pApp->CloseCurrentDevice(&info);
}

void CZTBoardDriverIPC::CloseConnection()
{
    m_pending.clear();
    if (!m_pConnection)
        return;
    MyConnection* p = m_pConnection;
    m_pConnection = nullptr;
    p->Disconnect();
    delete p;
}

void CZTBoardDriverIPC::AdviseData(const wxString& text)
{
    // Queued advises go out first, so that the client sees them in order.
    if (m_nInCallback > 0 || !m_pending.empty()) {
        m_pending.push_back(text);
        ScheduleFlush();
        return;
    }
    AdviseNow(text);
}

void CZTBoardDriverIPC::AdviseNow(const wxString& text)
{
    if (!m_pConnection || m_pConnection->m_strItem.empty() || !m_pConnection->IsOpen())
        return;
    m_pConnection->AdviseText(text);
}

void CZTBoardDriverIPC::ScheduleFlush()
{
    if (m_bFlushQueued || !wxTheApp)
        return;
    m_bFlushQueued = true;
    std::weak_ptr<bool> alive = m_alive;
    wxTheApp->CallAfter([this, alive] {
        if (alive.expired())
            return;
        m_bFlushQueued = false;
        FlushPending();
    });
}

void CZTBoardDriverIPC::FlushPending()
{
    while (!m_pending.empty()) {
        if (m_nInCallback > 0) {
            ScheduleFlush();
            return;
        }
        wxString text = m_pending.front();
        m_pending.pop_front();
        AdviseNow(text);
    }
}
