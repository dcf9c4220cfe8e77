#include "ZTBoardApp.h"

#include <wx/filefn.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>
#include <wx/socket.h>
#include <wx/utils.h>

#include <cctype>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>

#include "Comm/ZTBoardDriverIPC.h"
#include "Comm/ZTBoardDualSock.h"
#include "Comm/ZTBoardIPCSock.h"
#include "ConfigXML.h"
#include "Device/DeviceBase.h"
#include "Pointer/SidekeyProcess.h"
#include "ThreadEnd.h"
#include "Work/ZTBoardWorkBase.h"
#include "ZTBoardNotifyLinux.h"

namespace {

const char kSoftwareRun[] = "/usr/share/Talvora_Software/run";
const char kSoftwareProcess[] = "ZTWBSW";
// How long a stop waits for a worker or the watcher to finish. A worker's
// loop is paced by 500 ms reads, so it ends well within this.
const int kThreadStopWaitMs = 5000;

// Framework log lines go to standard output with the time stamp, each
// flushed at once.
class CStdoutLog : public wxLog {
protected:
    void DoLogText(const wxString& msg) override { ZTPrintLine("%s", (const char*)msg.utf8_str()); }
};

void PrintingAssertHandler(const wxString& file, int line, const wxString& func,
                           const wxString& cond, const wxString& msg)
{
    ZTPrintLine("**ZTLog**assertion failed: %s:%d %s: %s %s", (const char*)file.utf8_str(), line,
                (const char*)func.utf8_str(), (const char*)cond.utf8_str(),
                (const char*)msg.utf8_str());
}

void OnStopSignal(int)
{
    if (wxTheApp)
        wxTheApp->ExitMainLoop();
}

} // namespace

wxBEGIN_EVENT_TABLE(CZTBoardApp, wxApp)
    EVT_SOCKET(ID_SOCKET_SOFT, CZTBoardApp::OnSocketEvent)
    EVT_MENU(ID_CMD_START_SOFTWARE, CZTBoardApp::OnStartSoftware)
    EVT_MENU(ID_CMD_RUN_ORIENT, CZTBoardApp::OnRunOrient)
    EVT_MENU(ID_CMD_RUN_NOTTOUCH, CZTBoardApp::OnRunNotTouch)
    EVT_MENU(ID_CMD_ARM_RELEASE, CZTBoardApp::OnArmRelease)
    EVT_MENU(ID_CMD_ARM_KEY, CZTBoardApp::OnArmKey)
    EVT_TIMER(ID_TIMER_RELEASE, CZTBoardApp::OnTimerRelease)
    EVT_TIMER(ID_TIMER_KEY, CZTBoardApp::OnTimerKey)
wxEND_EVENT_TABLE()

CZTBoardApp::CZTBoardApp()
    : m_timerRelease(this, ID_TIMER_RELEASE), m_timerKey(this, ID_TIMER_KEY),
      m_pIPCServer(nullptr), m_pNotify(nullptr), m_pWorkThread(nullptr), m_pIPCSocket(nullptr),
      m_pDualSock(nullptr), m_bWorkRun(false), m_pLocale(nullptr),
      m_checker("CZTBoardAppIRQ", "/tmp"), m_nWorkBoardType(-1), m_bExiting(false),
      m_nSocketTimes(0), m_nScreenW(0), m_nScreenH(0)
{
}

CZTBoardApp::~CZTBoardApp()
{
    OnExit();
    delete m_pLocale;
    m_pLocale = nullptr;
    ZTSetHost(nullptr);
}

wxString CZTBoardApp::WorkDir()
{
    const char* env = getenv("ZTBOARD_WORKDIR");
    return wxString::FromUTF8(env && *env ? env : ZT_DEFAULT_WORKDIR);
}

void CZTBoardApp::InstallLog()
{
    delete wxLog::SetActiveTarget(new CStdoutLog);
}

bool CZTBoardApp::OnInit()
{
    // No window ever exists; message boxes must not end the process, and no
    // dialog may ever wait for a click on a desktop nobody watches.
    SetExitOnFrameDelete(false);
    InstallLog();
    wxSetAssertHandler(PrintingAssertHandler);
    ZTSetHost(this);

    wxSetWorkingDirectory(WorkDir());
    if (!SetProgramLanguage(wxLANGUAGE_DEFAULT))
        SetProgramLanguage(wxLANGUAGE_ENGLISH_US);
    // Text formats with numbers ("(%lf,%lf)") need a decimal point whatever
    // the chosen language.
    setlocale(LC_NUMERIC, "C");

    if (m_checker.IsAnotherRunning()) {
        wxString text = _(wxString::FromUTF8("ZTBoardEP服务已经在运行! "));
        ZTPrintLine("**ZTLog**%s", (const char*)text.utf8_str());
        wxMessageBox(text, "Message", wxOK | wxCENTRE, nullptr);
        return false;
    }
    PrintLog(0, "ZQ_Driver", 0);

    InstallLog();
    wxLog::SetTimestamp("%Y-%m-%d %H:%M:%S");
    wxLog::SetLogLevel(wxLOG_Trace);
    for (const char* mask : {"LogInfo", "LTWork", "IPC", "Event", "workThread", "DevNotify",
                             "Orient", "Sidekey", "CConversion"})
        wxLog::AddTraceMask(mask);

    m_nScreenW = wxSystemSettings::GetMetric(wxSYS_SCREEN_X);
    m_nScreenH = wxSystemSettings::GetMetric(wxSYS_SCREEN_Y);
    wxSocketBase::Initialize();
    SetSignalHandler(SIGTERM, OnStopSignal);
    SetSignalHandler(SIGINT, OnStopSignal);

    if (!StartIPCServer())
        return false;
    return StartDeviceNotify();
}

bool CZTBoardApp::SetProgramLanguage(int nLanguage)
{
    delete m_pLocale;
    m_pLocale = new wxLocale();
    m_pLocale->Init(nLanguage, wxLOCALE_LOAD_DEFAULT);
    wxLocale::AddCatalogLookupPathPrefix("LANG");
    m_pLocale->AddCatalog("DedevEzuruz");
    if (m_pLocale->IsLoaded("DedevEzuruz")) {
        ZTPrintLine("**ZTLog**Successfully set the Program language");
        return true;
    }
    ZTPrintLine("**ZTLog**Failed to set the Program language");
    m_pLocale->AddCatalog("en_US/DedevEzuruz");
    return m_pLocale->IsLoaded("en_US/DedevEzuruz");
}

bool CZTBoardApp::StartIPCServer()
{
    int port = 4869;
    {
        CConfigXML cfg;
        // Every component falls back to its defaults without a word when the
        // file cannot be loaded; a damaged file is said once, here.
        if (!cfg.Load(ZT_CONFIG_FILE) && wxFileExists(ZT_CONFIG_FILE))
            ZTPrintLine("**ZTLog**" ZT_CONFIG_FILE " cannot be loaded (empty, not well-formed or "
                        "larger than %ld bytes): the defaults are used and the file is left as it is",
                        CConfigXML::kMaxFileSize);
        cfg.GetInt("Global", "port", "num", &port, 4869);
        cfg.Close();
    }
    wxString service = wxString::Format("%d", port);
    m_pIPCServer = new CZTBoardDriverIPC();
    ZTPrintLine("**ZTLog**DriverIPCPortNum>> %d", port);
    if (!m_pIPCServer->Create(service)) {
        delete m_pIPCServer;
        m_pIPCServer = nullptr;
        ZTPrintLine("IPC ERROR");
        return false;
    }
    return true;
}

bool CZTBoardApp::StartDeviceNotify()
{
    m_pNotify = new CZTBoardNotifyLinux();
    m_notifyExited = std::make_shared<wxSemaphore>(0, 1);
    m_pNotify->SetExitSignal(m_notifyExited);
    if (m_pNotify->Create() != wxTHREAD_NO_ERROR || !m_pNotify->RegisterDevices() ||
        m_pNotify->Run() != wxTHREAD_NO_ERROR) {
        delete m_pNotify;
        m_pNotify = nullptr;
        return false;
    }
    return true;
}

int CZTBoardApp::OnExit()
{
    m_bExiting = true;
    m_timerRelease.Stop();
    m_timerKey.Stop();
    {
        wxMutexLocker lock(m_workLock);
        CZTBoardWorkBase* pWorker = m_pWorkThread.exchange(nullptr);
        if (pWorker)
            StopWorker(pWorker, m_workExited);
    }
    if (m_pIPCServer) {
        delete m_pIPCServer;
        m_pIPCServer = nullptr;
    }
    DeleteCompanionSocket();
    delete m_pDualSock;
    m_pDualSock = nullptr;
    if (m_pNotify) {
        m_pNotify->Delete();
        m_pNotify = nullptr;
        if (!ZTWaitThreadEnd(m_notifyExited, kThreadStopWaitMs))
            ZTPrintLine("**ZTLog**device watcher did not end in time");
    }
    return 0;
}

void CZTBoardApp::StopWorker(CZTBoardWorkBase* pWorker, std::shared_ptr<wxSemaphore> exited)
{
    pWorker->Delete();
    if (!ZTWaitThreadEnd(exited, kThreadStopWaitMs))
        ZTPrintLine("**ZTLog**worker did not end in time");
}

bool CZTBoardApp::CreateWorkThread(int nBoardType, CDeviceBase* pDev)
{
    g_bSoftOnline = false;
    setlocale(LC_NUMERIC, "C");
    CZTBoardWorkBase* pWorker = CZTBoardWorkBase::CreateWorkThread(nBoardType);
    ZTPrintLine("**ZTLog**CreateWorkThread>>%d", nBoardType);
    return StartWorker(pWorker, nBoardType, pDev);
}

bool CZTBoardApp::StartWorker(CZTBoardWorkBase* pWorker, int nBoardType, CDeviceBase* pDev)
{
    if (pWorker) {
        bool created = pWorker->Create() == wxTHREAD_NO_ERROR;
        bool ok = created && !m_bExiting && pWorker->InitWork(pDev);
        auto exited = std::make_shared<wxSemaphore>(0, 1);
        pWorker->SetExitSignal(exited);
        if (ok) {
            wxMutexLocker lock(m_workLock);
            m_workExited = exited;
            m_nWorkBoardType = pDev ? pDev->GetBoardType() : nBoardType;
            m_pWorkThread = pWorker;
            ok = pWorker->Run() == wxTHREAD_NO_ERROR;
            if (!ok) {
                m_pWorkThread = nullptr;
                m_nWorkBoardType = -1;
            }
        }
        if (!ok) {
            // The device stays with the caller, who releases it: the worker
            // must not close it as it goes.
            pWorker->m_pDev = nullptr;
            // A created thread waits to be run; only Delete() ends it cleanly.
            if (created)
                pWorker->Delete();
            else
                delete pWorker;
            pWorker = nullptr;
        }
    }
    if (pWorker)
        RunOnMain([this] { OpenCompanionSocket(); });
    m_bWorkRun = true;
    SendConnectToSoft(true);
    return pWorker != nullptr;
}

bool CZTBoardApp::DestoryWorkThread(const DeviceInfo* pInfo)
{
    CZTBoardWorkBase* pWorker;
    std::shared_ptr<wxSemaphore> exited;
    {
        wxMutexLocker lock(m_workLock);
        pWorker = m_pWorkThread.load();
        if (!pWorker || !pWorker->GetDevice() || !pWorker->GetDevice()->IsSameDevice(pInfo))
            return false;
        m_bWorkRun = false;
        SendConnectToSoft(false);
        ZTPrintLine("**ZTLog**DestoryWorkThread");
        m_pWorkThread = nullptr;
        m_nWorkBoardType = -1;
        exited = m_workExited;
    }
    // The worker frees itself; once it has signalled, nothing of it runs.
    StopWorker(pWorker, exited);
    RunOnMain([this] { DeleteCompanionSocket(); });
    return true;
}

void CZTBoardApp::WithWorker(const std::function<void(CZTBoardWorkBase*)>& fn)
{
    wxMutexLocker lock(m_workLock);
    if (CZTBoardWorkBase* p = m_pWorkThread.load())
        fn(p);
}

void CZTBoardApp::SetPointCount(int n)
{
    WithWorker([n](CZTBoardWorkBase* w) { w->SetPointCount(n); });
}

void CZTBoardApp::CloseCurrentDevice(const DeviceInfo* pInfo)
{
    if (m_pNotify)
        m_pNotify->CloseDevice(const_cast<DeviceInfo*>(pInfo));
}

void CZTBoardApp::RescanVideo()
{
    if (m_pNotify)
        m_pNotify->Enumerate("video4linux");
}

void CZTBoardApp::RunOnMain(std::function<void()> fn)
{
    if (wxThread::IsMain())
        fn();
    else
        CallAfter(std::move(fn));
}

void CZTBoardApp::OpenCompanionSocket()
{
    DeleteCompanionSocket();
    auto* pSock = new CZTBoardIPCSock();
    if (pSock->Open(this))
        m_pIPCSocket = pSock;
    else
        delete pSock;
}

void CZTBoardApp::DeleteCompanionSocket()
{
    delete m_pIPCSocket.exchange(nullptr);
}

void CZTBoardApp::SendConnectToSoft(bool bOnline)
{
    ZTPrintLine("SendConnectToSoft: %d--m_pIPCSocket: %p", bOnline ? 1 : 0,
                (void*)m_pIPCSocket.load());
    bool bWorkRun = m_bWorkRun;
    int nBoardType = m_nWorkBoardType;
    RunOnMain([=] { SendConnectOnMain(bOnline, bWorkRun, nBoardType); });
}

void CZTBoardApp::SendConnectOnMain(bool bOnline, bool bWorkRun, int nBoardType)
{
    CZTBoardIPCSock* pSock = m_pIPCSocket;
    if (!pSock)
        return;
    if (!bOnline) {
        pSock->SendMessage(0);
        pSock->SetStyle(-1);
    } else if (bWorkRun) {
        pSock->SetStyle(nBoardType);
        pSock->SendMessage(1);
        pSock->SendMessage(4);
    }
}

bool CZTBoardApp::ConnectIPCSocket()
{
    if (!wxThread::IsMain()) {
        RunOnMain([this] { ConnectIPCSocket(); });
        return true;
    }
    if (m_pIPCSocket)
        return true;
    auto* pSock = new CZTBoardIPCSock();
    if (!pSock->Open(this)) {
        delete pSock;
        return false;
    }
    m_pIPCSocket = pSock;
    SendConnectToSoft(true);
    ++m_nSocketTimes;
    return true;
}

void CZTBoardApp::OnSend(const char* pData, int nLen)
{
    if (!pData || nLen <= 0)
        return;
    std::string data(pData, (size_t)nLen);
    RunOnMain([this, data] {
        ConnectIPCSocket();
        if (CZTBoardIPCSock* pSock = m_pIPCSocket)
            pSock->Send(data.data(), (int)data.size());
        PrintLog(1, "CZTBoardApp:OnSend>>" + wxString::FromUTF8(data.c_str()) +
                        "........IPCSocketTimes",
                 m_nSocketTimes);
    });
}

void CZTBoardApp::PostAppCommand(int nWhich)
{
    static const int ids[] = {ID_CMD_START_SOFTWARE, ID_CMD_RUN_ORIENT, ID_CMD_ARM_RELEASE,
                              ID_CMD_ARM_KEY, ID_CMD_RUN_NOTTOUCH};
    if (nWhich < 0 || nWhich > 4)
        return;
    wxQueueEvent(this, new wxCommandEvent(wxEVT_COMMAND_MENU_SELECTED, ids[nWhich]));
}

void CZTBoardApp::AdviseData(const wxString& s)
{
    // Advising from another thread corrupts the conversation's stream: the
    // main thread advises, and only if the conversation still exists then.
    wxString copy = s.Clone();
    RunOnMain([this, copy] {
        if (m_pIPCServer)
            m_pIPCServer->AdviseData(copy);
    });
}

void CZTBoardApp::ReloadConversion()
{
    // The calibration process calls this on the worker's own thread, which
    // may be handling a report: the worker rebuilds its own conversion.
    CZTBoardWorkBase* p = m_pWorkThread.load();
    if (p && wxThread::This() == p) {
        p->ReloadConversion();
        return;
    }
    WithWorker([](CZTBoardWorkBase* w) { w->ReloadConversion(); });
}

bool CZTBoardApp::StartDualSock(int nPort)
{
    // The dual socket belongs to the main thread. From another thread the
    // connect is queued there and its result is not known yet.
    if (!wxThread::IsMain()) {
        RunOnMain([this, nPort] { StartDualSock(nPort); });
        return false;
    }
    FlushDualRecords();
    delete m_pDualSock;
    m_pDualSock = new CZTBoardDualSock();
    if (m_pDualSock->Connect(nPort))
        return true;
    delete m_pDualSock;
    m_pDualSock = nullptr;
    return false;
}

void CZTBoardApp::StopDualSock()
{
    if (!wxThread::IsMain()) {
        RunOnMain([this] { StopDualSock(); });
        return;
    }
    FlushDualRecords();
    delete m_pDualSock;
    m_pDualSock = nullptr;
}

void CZTBoardApp::QueueDualRecord(std::function<void(CZTBoardDualSock*)> fn)
{
    if (wxThread::IsMain()) {
        FlushDualRecords();
        if (m_pDualSock)
            fn(m_pDualSock);
        return;
    }
    // A multi-touch report yields several records: they wait here and the
    // main thread sends them in one go, one wake-up per report instead of
    // one per record.
    bool first;
    {
        std::lock_guard<std::mutex> g(m_dualLock);
        first = m_dualPending.empty();
        m_dualPending.push_back(std::move(fn));
    }
    if (first)
        CallAfter([this] { FlushDualRecords(); });
}

void CZTBoardApp::FlushDualRecords()
{
    std::vector<std::function<void(CZTBoardDualSock*)>> pending;
    {
        std::lock_guard<std::mutex> g(m_dualLock);
        pending.swap(m_dualPending);
    }
    for (auto& fn : pending)
        if (m_pDualSock)
            fn(m_pDualSock);
}

void CZTBoardApp::SendDualPoint(int nAction, int x, int y)
{
    QueueDualRecord([=](CZTBoardDualSock* s) { s->SendPoint(nAction, x, y); });
}

void CZTBoardApp::SendDualData(int nId, int nState, int x, int y)
{
    QueueDualRecord([=](CZTBoardDualSock* s) { s->SendTouch(nId, nState, x, y); });
}

void CZTBoardApp::StopKeyTimer()
{
    RunOnMain([this] { m_timerKey.Stop(); });
}

bool CZTBoardApp::IsKeyTimerRunning()
{
    return m_timerKey.IsRunning();
}

void CZTBoardApp::OnSocketEvent(wxSocketEvent& event)
{
    if (event.GetSocketEvent() != wxSOCKET_INPUT)
        return;
    CZTBoardIPCSock* pIPC = m_pIPCSocket;
    if (!pIPC || !pIPC->GetSocket() || event.GetSocket() != pIPC->GetSocket())
        return;
    wxDatagramSocket* pDgram = pIPC->GetSocket();
    // Drain every queued datagram: the socket does not repeat the event for
    // datagrams still waiting. Bounded, so that a socket that keeps reporting
    // data it cannot deliver never holds the loop.
    const int kMaxPerEvent = 256;
    for (int i = 0; i < kMaxPerEvent && pDgram->IsData(); ++i) {
        // 50 bytes at most, always terminated: a 50-byte datagram fills the
        // buffer up to its last text byte.
        char buf[51] = {0};
        wxIPV4address from;
        pDgram->RecvFrom(from, buf, 50);
        wxUint32 n = pDgram->LastCount();
        if (n == 0) {
            // A zero-length datagram is reported as an error and consumed;
            // no error means the queue is empty.
            if (pDgram->Error())
                continue;
            break;
        }
        buf[n < 50 ? n : 50] = '\0';
        if (!CZTBoardIPCSock::IsTrustedSender(from)) {
            ZTPrintLine("**Quenlo**OnRecv refused from %s", (const char*)from.IPAddress().utf8_str());
            continue;
        }
        // A command runs worker code, which may end with this socket deleted.
        pIPC->OnRecv(buf);
        if (m_pIPCSocket != pIPC)
            break;
    }
}

int CZTBoardApp::FindProcess(const char* name, bool bCaseSensitive)
{
    DIR* dir = opendir("/proc/");
    if (!dir) {
        perror("Couldn't open the /proc/ directory");
        return -2;
    }
    while (struct dirent* ent = readdir(dir)) {
        if (ent->d_type != DT_DIR || !*ent->d_name)
            continue;
        bool digits = true;
        for (const char* p = ent->d_name; *p; ++p)
            digits = digits && isdigit((unsigned char)*p);
        if (!digits)
            continue;
        std::string path = std::string("/proc/") + ent->d_name + "/cmdline";
        FILE* fp = fopen(path.c_str(), "r");
        if (!fp)
            continue;
        char line[100] = {0};
        size_t n = fread(line, 1, 98, fp);
        fclose(fp);
        line[n] = '\0';
        // The arguments are NUL-separated: the first string, up to a blank,
        // is the command.
        char* word = strtok(line, " ");
        if (!word)
            continue;
        const char* slash = strrchr(word, '/');
        const char* base = slash ? slash + 1 : word;
        bool same = bCaseSensitive ? strcmp(base, name) == 0 : strcasecmp(base, name) == 0;
        if (same) {
            int pid = atoi(ent->d_name);
            closedir(dir);
            return pid;
        }
    }
    closedir(dir);
    return -1;
}

static void RunIfExists(const wxString& file, const wxString& path)
{
    if (wxFileExists(file))
        wxExecute(path, wxEXEC_ASYNC);
}

void CZTBoardApp::OnStartSoftware(wxCommandEvent&)
{
    int pid = FindProcess(kSoftwareProcess, true);
    if (pid != -1 && pid != -2)
        return;
    const char* env = getenv("ZTBOARD_SOFTWARE_RUN");
    wxString run = wxString::FromUTF8(env && *env ? env : kSoftwareRun);
    RunIfExists(run, run);
}

void CZTBoardApp::OnRunOrient(wxCommandEvent&)
{
    RunIfExists("Orient_Run", WorkDir() + "/Orient_Run");
}

void CZTBoardApp::OnRunNotTouch(wxCommandEvent&)
{
    RunIfExists("NotTouch_Run", WorkDir() + "/NotTouch_Run");
}

void CZTBoardApp::OnArmRelease(wxCommandEvent&)
{
    m_timerRelease.StartOnce(100);
}

void CZTBoardApp::OnArmKey(wxCommandEvent&)
{
    m_timerKey.StartOnce(500);
}

void CZTBoardApp::OnTimerRelease(wxTimerEvent&)
{
    WithWorker([](CZTBoardWorkBase* w) { w->OnReleaseT(); });
}

void CZTBoardApp::OnTimerKey(wxTimerEvent&)
{
    WithWorker([](CZTBoardWorkBase* w) {
        if (w->m_pSidekey)
            w->m_pSidekey->ExecuteKey();
    });
}

// In the library rather than next to main(), so that the tests that run the
// application in their own process find wxGetApp() too.
wxIMPLEMENT_APP_NO_MAIN(CZTBoardApp);
