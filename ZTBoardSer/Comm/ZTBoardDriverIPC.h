// The IPC server through which the calibration and settings tools and the
// camera viewer steer the service: one conversation at a time.
#pragma once
#include <wx/ipc.h>

#include <deque>
#include <memory>

class CZTBoardDriverIPC;

// One tool's conversation: its advise requests become worker commands, and
// the worker's short replies go back on the last advised item.
class MyConnection : public wxTCPConnection {
public:
    explicit MyConnection(CZTBoardDriverIPC* pServer);

    bool OnStartAdvise(const wxString& topic, const wxString& item) override;
    bool OnStopAdvise(const wxString& topic, const wxString& item) override;
    // Keeps the object: the server owns it until the next accept.
    bool OnDisconnect() override;

    // Advises the first three characters of text and a NUL (4 bytes, the
    // private format) on m_strItem.
    bool AdviseText(const wxString& text);
    bool IsOpen() const;

    wxString m_strItem;

private:
    void SetNoDelay();
    CZTBoardDriverIPC* m_pServer;
};

class CZTBoardDriverIPC : public wxTCPServer {
public:
    CZTBoardDriverIPC();
    ~CZTBoardDriverIPC() override;

    // Listens on the numeric service (a TCP port), reachable from this
    // machine only.
    bool Create(const wxString& service) override;
    wxConnectionBase* OnAcceptConnection(const wxString& topic) override;
    void CloseConnection();
    // Main thread only (the application hands calls from other threads
    // there).
    void AdviseData(const wxString& text);

    MyConnection* m_pConnection;

private:
    friend class MyConnection;
    // Marks a conversation callback in progress: an advise written before
    // the framework has sent the callback's reply would be taken by the
    // client as the reply, so advises wait until the callback has returned.
    class CCallbackScope {
    public:
        explicit CCallbackScope(CZTBoardDriverIPC* p) : m_p(p) { ++m_p->m_nInCallback; }
        ~CCallbackScope() { --m_p->m_nInCallback; }

    private:
        CZTBoardDriverIPC* m_p;
    };

    void RestrictToLoopback();
    void AdviseNow(const wxString& text);
    void ScheduleFlush();
    void FlushPending();
    void CloseCameraBoard();

    // Like every member here, used on the main thread only.
    int m_nInCallback;
    std::deque<wxString> m_pending;
    bool m_bFlushQueued;
    // Lets a queued flush find out that the server has gone meanwhile.
    std::shared_ptr<bool> m_alive;
};
