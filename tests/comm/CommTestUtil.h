// Real peers for the companion links and the IPC server, and a worker that
// records the commands it is given.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "Device/DeviceBase.h"
#include "Work/ZTBoardWorkBase.h"
#include "ZtTestEnv.h"

namespace ztcomm {

// Waits (with the given pump run between checks) until fd is readable.
bool WaitReadable(int fd, int timeoutMs, const std::function<void()>& pump = nullptr);

// A UDP socket bound to addr:port ("127.0.0.1", 10000 for the whiteboard
// software's end).
class UdpPeer {
public:
    UdpPeer(const std::string& addr, int port, bool reuse = false);
    ~UdpPeer();
    bool Ok() const { return m_fd >= 0; }
    // One datagram, or "" (with *pGot false) after timeoutMs.
    std::string Recv(int timeoutMs, const std::function<void()>& pump = nullptr, bool* pGot = nullptr);
    bool SendTo(const std::string& addr, int port, const std::string& data);
    int Fd() const { return m_fd; }

private:
    int m_fd = -1;
};

// A TCP listener on 127.0.0.1 (port 0: any free port).
class TcpListener {
public:
    explicit TcpListener(int port = 0, int backlog = 4);
    ~TcpListener();
    bool Ok() const { return m_fd >= 0; }
    int Port() const { return m_port; }
    // Accepted connection fd or -1.
    int Accept(int timeoutMs, const std::function<void()>& pump = nullptr);

private:
    int m_fd = -1;
    int m_port = 0;
};

// Reads exactly n bytes; fewer when the peer closed or timeoutMs passed.
std::string ReadBytes(int fd, size_t n, int timeoutMs, const std::function<void()>& pump = nullptr);
// The five little-endian 32-bit fields of a 20-byte record.
std::vector<int32_t> Fields(const std::string& record);

// A board that never delivers a report; only its description matters.
class CFakeDevice : public CDeviceBase {
public:
    explicit CFakeDevice(const char* path, int boardType);
    bool Open() override { return true; }
    bool Init() override { return true; }
    void Close() override {}
    int Read(unsigned char*, int) override { return 0; }
    int Write(const unsigned char*, int n) override { return n; }
    int ReadRaw(unsigned char*, int) override { return 0; }
    int WriteRaw(const unsigned char*, int n) override { return n; }
    int SendFeature(const unsigned char*, int n) override { return n; }
    int QueryBoardType() override { return GetBoardType(); }
    bool DetectBoardType() override { return true; }
};

// A worker thread that idles until asked to end and records every
// SetWorkMode call. Like the board workers, commands 8 and 9 open the dual
// socket on the given port and 10 closes it. onCommand, if set, runs inside
// SetWorkMode (on the caller's thread).
class CRecordingWorker : public CZTBoardWorkBase {
public:
    CRecordingWorker();
    bool InitWork(CDeviceBase* pDev) override;
    ExitCode Entry() override;
    int GetDataType() override { return 0; }
    bool ParseData() override { return false; }
    bool SetWorkMode(int nCmd, int nMid) override;

    std::vector<std::pair<int, int>> Commands();
    void ClearCommands();
    std::function<void(int, int)> onCommand;
    // Runs fn once on the worker's own thread.
    void RunOnWorker(std::function<void()> fn);
    bool WorkerJobDone() const { return m_jobDone; }

private:
    std::mutex m_lock;
    std::vector<std::pair<int, int>> m_commands;
    std::function<void()> m_job;
    std::atomic<bool> m_jobPending{false};
    std::atomic<bool> m_jobDone{false};
};

// A network namespace of its own (held by a child process) joined to this
// one by a veth pair: this side 10.77.0.1, the other side 10.77.0.2.
class PeerNetns {
public:
    PeerNetns();
    ~PeerNetns();
    bool Ok() const { return m_ok; }
    static const char* LocalAddr() { return "10.77.0.1"; }
    static const char* PeerAddr() { return "10.77.0.2"; }
    // Runs fn on a thread that has joined the other namespace.
    void Run(const std::function<void()>& fn);

private:
    zt::ChildProcess m_holder;
    bool m_ok = false;
};

// A client of the IPC server speaking the framework's wire format itself, so
// that a test sees every byte and the order of replies and advises. pump runs
// the service's event loop while the client waits.
class RawIpcClient {
public:
    enum {
        IPC_EXECUTE = 1,
        IPC_REQUEST = 2,
        IPC_ADVISE_START = 4,
        IPC_ADVISE = 6,
        IPC_ADVISE_STOP = 7,
        IPC_FAIL = 9,
        IPC_CONNECT = 10,
        IPC_DISCONNECT = 11,
    };
    struct Msg {
        int code = -1; // -1: nothing within the time-out, 0: connection closed
        std::string item;
        int format = -1;
        std::string data;
    };

    explicit RawIpcClient(std::function<void()> pump) : m_pump(std::move(pump)) {}
    ~RawIpcClient() { Close(); }
    // Opens the TCP connection to addr:port and sends the topic; returns the
    // server's answer code (IPC_CONNECT or IPC_FAIL), 0 when the server
    // closed, -1 when it could not be reached or did not answer.
    int Connect(int port, const std::string& topic, const char* addr = "127.0.0.1",
                int timeoutMs = 5000);
    int StartAdvise(const std::string& item, int timeoutMs = 5000);
    int StopAdvise(const std::string& item, int timeoutMs = 5000);
    // Sends the disconnect message and closes the socket.
    void Disconnect();
    void Close();
    bool SendRaw(const std::string& bytes);
    // The next message from the server.
    Msg Next(int timeoutMs = 5000);
    int Fd() const { return m_fd; }

    static std::string String(const std::string& s);

private:
    bool ReadExact(std::string* out, size_t n, int timeoutMs);
    int m_fd = -1;
    std::function<void()> m_pump;
};

} // namespace ztcomm
