// A tool as the service's IPC clients are written: the framework's own TCP
// IPC client, run as a process of its own. Arguments: port, topic, then the
// steps "start:ITEM", "stop:ITEM", "wait:N" (until N advises arrived) and
// "disconnect". Every result is printed on a line of its own.
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/ipc.h>
#include <wx/socket.h>
#include <wx/utils.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class CToolConnection : public wxTCPConnection {
public:
    bool OnAdvise(const wxString&, const wxString& item, const void* data, size_t size,
                  wxIPCFormat format) override
    {
        std::string hex;
        char b[4];
        for (size_t i = 0; i < size; ++i) {
            snprintf(b, sizeof b, "%02x", ((const unsigned char*)data)[i]);
            hex += b;
        }
        printf("advise %s %d %s\n", (const char*)item.utf8_str(), (int)format, hex.c_str());
        fflush(stdout);
        ++m_nAdvises;
        return true;
    }
    bool OnDisconnect() override
    {
        printf("disconnected\n");
        fflush(stdout);
        m_bGone = true;
        return true;
    }
    int m_nAdvises = 0;
    bool m_bGone = false;
};

class CToolClient : public wxTCPClient {
public:
    wxConnectionBase* OnMakeConnection() override { return new CToolConnection; }
};

void Pump(int ms)
{
    wxLongLong end = wxGetLocalTimeMillis() + ms;
    while (wxGetLocalTimeMillis() < end) {
        if (wxEventLoopBase* loop = wxEventLoopBase::GetActive())
            loop->DispatchTimeout(10);
        // wxTheApp would cast to the GUI application class: this tool is a console one.
        wxAppConsole::GetInstance()->ProcessPendingEvents();
    }
}

void RunSteps(int argc, char** argv)
{
    CToolClient client;
    auto* conn = static_cast<CToolConnection*>(client.MakeConnection("127.0.0.1", argv[1], argv[2]));
    printf("connect %d\n", conn ? 1 : 0);
    fflush(stdout);
    if (!conn)
        return;
    for (int i = 3; i < argc; ++i) {
        std::string step = argv[i];
        std::string arg = step.find(':') == std::string::npos ? "" : step.substr(step.find(':') + 1);
        if (step.rfind("start:", 0) == 0) {
            printf("start %d\n", conn->StartAdvise(arg) ? 1 : 0);
        } else if (step.rfind("stop:", 0) == 0) {
            printf("stop %d\n", conn->StopAdvise(arg) ? 1 : 0);
        } else if (step.rfind("wait:", 0) == 0) {
            int n = atoi(arg.c_str());
            for (int t = 0; t < 1000 && conn->m_nAdvises < n && !conn->m_bGone; ++t)
                Pump(10);
            printf("waited %d\n", conn->m_nAdvises);
        } else if (step == "disconnect") {
            printf("disconnect %d\n", conn->Disconnect() ? 1 : 0);
        }
        fflush(stdout);
    }
    delete conn;
}

// The steps run inside the running event loop, as in a real tool.
class CToolApp : public wxAppConsole {
public:
    bool OnInit() override
    {
        if (argc < 3)
            return false;
        wxSocketBase::Initialize();
        CallAfter([this] {
            RunSteps(argc, argv);
            ExitMainLoop();
        });
        return true;
    }
};

} // namespace

wxIMPLEMENT_APP_CONSOLE(CToolApp);
