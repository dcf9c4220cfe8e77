#include "CommTestUtil.h"

#include <wx/utils.h>

#include "App/ZTBoardHost.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace ztcomm {

namespace {

long long NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

sockaddr_in Addr(const std::string& addr, int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    inet_pton(AF_INET, addr.c_str(), &a.sin_addr);
    return a;
}

void PutLE32(std::string* s, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s->push_back((char)((v >> (8 * i)) & 0xFF));
}

uint32_t GetLE32(const std::string& s, size_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= (uint32_t)(unsigned char)s[at + i] << (8 * i);
    return v;
}

std::string NetNs(const std::string& pid)
{
    char buf[64] = {0};
    ssize_t n = readlink(("/proc/" + pid + "/ns/net").c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, (size_t)n) : std::string();
}

} // namespace

bool WaitReadable(int fd, int timeoutMs, const std::function<void()>& pump)
{
    long long deadline = NowMs() + timeoutMs;
    for (;;) {
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 0) > 0)
            return true;
        if (NowMs() >= deadline)
            return false;
        if (pump)
            pump();
        else
            poll(&p, 1, 5);
    }
}

// ------------------------------------------------------------------ UdpPeer

UdpPeer::UdpPeer(const std::string& addr, int port, bool reuse)
{
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int one = 1;
    if (reuse)
        setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = Addr(addr, port);
    if (bind(m_fd, (sockaddr*)&a, sizeof a) != 0) {
        close(m_fd);
        m_fd = -1;
    }
}

UdpPeer::~UdpPeer()
{
    if (m_fd >= 0)
        close(m_fd);
}

std::string UdpPeer::Recv(int timeoutMs, const std::function<void()>& pump, bool* pGot)
{
    if (pGot)
        *pGot = false;
    if (m_fd < 0 || !WaitReadable(m_fd, timeoutMs, pump))
        return "";
    char buf[2048];
    ssize_t n = recv(m_fd, buf, sizeof buf, 0);
    if (n < 0)
        return "";
    if (pGot)
        *pGot = true;
    return std::string(buf, (size_t)n);
}

bool UdpPeer::SendTo(const std::string& addr, int port, const std::string& data)
{
    sockaddr_in a = Addr(addr, port);
    return sendto(m_fd, data.data(), data.size(), 0, (sockaddr*)&a, sizeof a) == (ssize_t)data.size();
}

// -------------------------------------------------------------- TcpListener

TcpListener::TcpListener(int port, int backlog)
{
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = Addr("127.0.0.1", port);
    socklen_t len = sizeof a;
    if (bind(m_fd, (sockaddr*)&a, sizeof a) != 0 || listen(m_fd, backlog) != 0 ||
        getsockname(m_fd, (sockaddr*)&a, &len) != 0) {
        close(m_fd);
        m_fd = -1;
        return;
    }
    m_port = ntohs(a.sin_port);
}

TcpListener::~TcpListener()
{
    if (m_fd >= 0)
        close(m_fd);
}

int TcpListener::Accept(int timeoutMs, const std::function<void()>& pump)
{
    if (m_fd < 0 || !WaitReadable(m_fd, timeoutMs, pump))
        return -1;
    return accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
}

std::string ReadBytes(int fd, size_t n, int timeoutMs, const std::function<void()>& pump)
{
    std::string out;
    long long deadline = NowMs() + timeoutMs;
    while (out.size() < n) {
        int left = (int)(deadline - NowMs());
        if (left < 0 || !WaitReadable(fd, left, pump))
            break;
        char buf[512];
        ssize_t r = recv(fd, buf, std::min(sizeof buf, n - out.size()), 0);
        if (r <= 0)
            break;
        out.append(buf, (size_t)r);
    }
    return out;
}

std::vector<int32_t> Fields(const std::string& record)
{
    std::vector<int32_t> f;
    for (size_t i = 0; i + 4 <= record.size(); i += 4)
        f.push_back((int32_t)GetLE32(record, i));
    return f;
}

// -------------------------------------------------------------- CFakeDevice

namespace {
DeviceInfo FakeInfo(const char* path, int boardType)
{
    DeviceInfo info;
    info.nVendorID = 0x1314;
    info.nDevType = DEVTYPE_HID;
    info.nBoardType = (uint32_t)boardType;
    info.pDevPath = const_cast<char*>(path);
    return info;
}
} // namespace

CFakeDevice::CFakeDevice(const char* path, int boardType) : CDeviceBase(FakeInfo(path, boardType))
{
}

// --------------------------------------------------------- CRecordingWorker

CRecordingWorker::CRecordingWorker() : CZTBoardWorkBase()
{
    m_strWorkType = "ZTBoardWorkIRQ";
}

bool CRecordingWorker::InitWork(CDeviceBase* pDev)
{
    m_pDev = pDev;
    return true;
}

wxThread::ExitCode CRecordingWorker::Entry()
{
    while (!TestDestroy()) {
        if (m_jobPending.exchange(false)) {
            m_job();
            m_jobDone = true;
        }
        wxMilliSleep(2);
    }
    return 0;
}

bool CRecordingWorker::SetWorkMode(int nCmd, int nMid)
{
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_commands.emplace_back(nCmd, nMid);
    }
    if (nCmd == 8 || nCmd == 9)
        ZTHost()->StartDualSock(nMid);
    else if (nCmd == 10)
        ZTHost()->StopDualSock();
    if (onCommand)
        onCommand(nCmd, nMid);
    return true;
}

std::vector<std::pair<int, int>> CRecordingWorker::Commands()
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_commands;
}

void CRecordingWorker::ClearCommands()
{
    std::lock_guard<std::mutex> g(m_lock);
    m_commands.clear();
}

void CRecordingWorker::RunOnWorker(std::function<void()> fn)
{
    m_jobDone = false;
    m_job = std::move(fn);
    m_jobPending = true;
}

// ---------------------------------------------------------------- PeerNetns

PeerNetns::PeerNetns()
{
    if (!m_holder.Start({"unshare", "--net", "sleep", "600"}))
        return;
    std::string pid = std::to_string(m_holder.Pid());
    std::string own = NetNs("self");
    long long deadline = NowMs() + 5000;
    while (NetNs(pid).empty() || NetNs(pid) == own) {
        if (NowMs() > deadline)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::string cmd = "ip link add ztv0 type veth peer name ztv1 netns " + pid +
                      " && ip addr add 10.77.0.1/24 dev ztv0 && ip link set ztv0 up"
                      " && nsenter -t " + pid + " -n sh -c 'ip addr add 10.77.0.2/24 dev ztv1"
                      " && ip link set ztv1 up && ip link set lo up'";
    m_ok = system(cmd.c_str()) == 0;
}

PeerNetns::~PeerNetns()
{
    // The veth pair goes with the other namespace.
    m_holder.Stop(SIGKILL, 2000);
}

void PeerNetns::Run(const std::function<void()>& fn)
{
    std::string path = "/proc/" + std::to_string(m_holder.Pid()) + "/ns/net";
    std::thread t([&] {
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        // setns on a thread moves only that thread.
        if (fd >= 0 && setns(fd, CLONE_NEWNET) == 0)
            fn();
        if (fd >= 0)
            close(fd);
    });
    t.join();
}

// ------------------------------------------------------------- RawIpcClient

std::string RawIpcClient::String(const std::string& s)
{
    std::string out;
    PutLE32(&out, (uint32_t)s.size());
    return out + s;
}

int RawIpcClient::Connect(int port, const std::string& topic, const char* addr, int timeoutMs)
{
    Close();
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Addr(addr, port);
    if (connect(m_fd, (sockaddr*)&a, sizeof a) != 0) {
        Close();
        return -1;
    }
    if (!SendRaw(std::string(1, (char)IPC_CONNECT) + String(topic)))
        return -1;
    return Next(timeoutMs).code;
}

int RawIpcClient::StartAdvise(const std::string& item, int timeoutMs)
{
    if (!SendRaw(std::string(1, (char)IPC_ADVISE_START) + String(item)))
        return -1;
    return Next(timeoutMs).code;
}

int RawIpcClient::StopAdvise(const std::string& item, int timeoutMs)
{
    if (!SendRaw(std::string(1, (char)IPC_ADVISE_STOP) + String(item)))
        return -1;
    return Next(timeoutMs).code;
}

void RawIpcClient::Disconnect()
{
    SendRaw(std::string(1, (char)IPC_DISCONNECT));
    Close();
}

void RawIpcClient::Close()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool RawIpcClient::SendRaw(const std::string& bytes)
{
    return m_fd >= 0 &&
           send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == (ssize_t)bytes.size();
}

bool RawIpcClient::ReadExact(std::string* out, size_t n, int timeoutMs)
{
    *out = ReadBytes(m_fd, n, timeoutMs, m_pump);
    return out->size() == n;
}

RawIpcClient::Msg RawIpcClient::Next(int timeoutMs)
{
    Msg m;
    if (m_fd < 0)
        return m;
    if (!WaitReadable(m_fd, timeoutMs, m_pump))
        return m;
    std::string b;
    if (!ReadExact(&b, 1, timeoutMs)) {
        m.code = 0;
        return m;
    }
    m.code = (unsigned char)b[0];
    if (m.code != IPC_ADVISE)
        return m;
    std::string len, fmt, size;
    if (!ReadExact(&len, 4, timeoutMs) || !ReadExact(&m.item, GetLE32(len, 0), timeoutMs) ||
        !ReadExact(&fmt, 1, timeoutMs) || !ReadExact(&size, 4, timeoutMs) ||
        !ReadExact(&m.data, GetLE32(size, 0), timeoutMs)) {
        m.code = 0;
        return m;
    }
    m.format = (unsigned char)fmt[0];
    return m;
}

} // namespace ztcomm
