#include "ZTBoardDualSock.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Common.h"

namespace {

long long NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PutLE32(unsigned char* p, int32_t v)
{
    uint32_t u = (uint32_t)v;
    p[0] = (unsigned char)(u & 0xFF);
    p[1] = (unsigned char)((u >> 8) & 0xFF);
    p[2] = (unsigned char)((u >> 16) & 0xFF);
    p[3] = (unsigned char)((u >> 24) & 0xFF);
}

bool WaitFor(int fd, short events, int nTimeoutMs)
{
    long long deadline = NowMs() + nTimeoutMs;
    for (;;) {
        int left = (int)(deadline - NowMs());
        if (left < 0)
            left = 0;
        struct pollfd p = {fd, events, 0};
        int r = poll(&p, 1, left);
        if (r > 0)
            return true;
        if (r == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

CZTBoardDualSock::CZTBoardDualSock() : m_iSocket(-1) {}

CZTBoardDualSock::~CZTBoardDualSock() { Close(); }

bool CZTBoardDualSock::Connect(int nPort)
{
    Close();
    if (nPort <= 0 || nPort > 65535) {
        ZTPrintLine("**Quenlo**DualSock: no such port %d", nPort);
        return false;
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        ZTPrintLine("**Quenlo**DualSock: socket: %s", strerror(errno));
        return false;
    }
    struct sockaddr_in addr;
    memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons((uint16_t)nPort);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int err = 0;
    if (connect(fd, (struct sockaddr*)&addr, sizeof addr) != 0) {
        err = errno;
        if (err == EINPROGRESS) {
            err = ETIMEDOUT;
            if (WaitFor(fd, POLLOUT, kConnectWaitMs)) {
                socklen_t len = sizeof err;
                if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                    err = errno;
            }
        }
    }
    if (err != 0) {
        ZTPrintLine("**Quenlo**DualSock: connect to port %d failed: %s", nPort, strerror(err));
        close(fd);
        return false;
    }
    // Each record is a pointer sample that the peer should see at once.
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_iSocket = fd;
    ZTPrintLine("**Quenlo**DualSock connected >>%d", nPort);
    return true;
}

void CZTBoardDualSock::SendPoint(int nAction, int x, int y)
{
    SendRecord(-1, -1, nAction, x, y);
}

void CZTBoardDualSock::SendTouch(int nId, int nState, int x, int y)
{
    SendRecord(-1, nId, nState, x, y);
}

void CZTBoardDualSock::SendRecord(int32_t f1, int32_t f2, int32_t f3, int32_t f4, int32_t f5)
{
    if (m_iSocket < 0)
        return;
    unsigned char rec[RECORD_SIZE];
    const int32_t fields[5] = {f1, f2, f3, f4, f5};
    for (int i = 0; i < 5; ++i)
        PutLE32(rec + 4 * i, fields[i]);
    if (!SendAll(rec, RECORD_SIZE)) {
        // A record sent in part would shift every later one: give the link
        // up rather than let the peer misread the stream.
        ZTPrintLine("**Quenlo**DualSock: peer lost, link closed");
        Close();
    }
}

bool CZTBoardDualSock::SendAll(const unsigned char* pData, int nLen)
{
    long long deadline = NowMs() + kSendWaitMs;
    int done = 0;
    while (done < nLen) {
        // MSG_NOSIGNAL: a peer that went away must not end the process.
        ssize_t r = send(m_iSocket, pData + done, (size_t)(nLen - done), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r > 0) {
            done += (int)r;
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            int left = (int)(deadline - NowMs());
            if (left > 0 && WaitFor(m_iSocket, POLLOUT, left))
                continue;
        }
        return false;
    }
    return true;
}

void CZTBoardDualSock::Close()
{
    if (m_iSocket < 0)
        return;
    close(m_iSocket);
    m_iSocket = -1;
}
