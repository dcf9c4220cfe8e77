// The dual-screen link against real TCP peers on loopback.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <vector>

#include "CommTestUtil.h"
#include "Comm/ZTBoardDualSock.h"

using namespace ztcomm;

namespace {

long long ElapsedMs(std::chrono::steady_clock::time_point since)
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now() - since).count();
}

} // namespace

TEST(DualSock, PeerReceivesExactRecordsInOrder)
{
    TcpListener peer;
    ASSERT_TRUE(peer.Ok());
    CZTBoardDualSock sock;
    ASSERT_TRUE(sock.Connect(peer.Port()));
    int fd = peer.Accept(2000);
    ASSERT_GE(fd, 0);

    sock.SendPoint(1, 640, 480);
    sock.SendTouch(3, 2, -5, INT_MAX);
    sock.SendPoint(0, INT_MIN, 0);

    std::string bytes = ReadBytes(fd, 60, 2000);
    ASSERT_EQ(bytes.size(), 60u);
    // Little-endian on the wire whatever the host: check the raw bytes once.
    const unsigned char first[20] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0,
                                     0,    0,    0x80, 2,    0,    0,    0xE0, 1,    0, 0};
    EXPECT_EQ(bytes.substr(0, 20), std::string((const char*)first, 20));
    EXPECT_EQ(Fields(bytes.substr(20, 20)), (std::vector<int32_t>{-1, 3, 2, -5, INT_MAX}));
    EXPECT_EQ(Fields(bytes.substr(40, 20)), (std::vector<int32_t>{-1, -1, 0, INT_MIN, 0}));
    close(fd);
}

TEST(DualSock, NoPeerFailsAtOnceAndDropsRecords)
{
    int port;
    {
        TcpListener probe; // a port known to be free once closed
        port = probe.Port();
    }
    CZTBoardDualSock sock;
    EXPECT_FALSE(sock.Connect(port));
    EXPECT_FALSE(sock.IsConnected());
    sock.SendPoint(1, 1, 1);
    sock.SendTouch(0, 0, 1, 1);
    sock.Close();
    EXPECT_FALSE(sock.IsConnected());
}

TEST(DualSock, BadPortsAreRefused)
{
    CZTBoardDualSock sock;
    for (int port : {0, -1, 65536, 100000})
        EXPECT_FALSE(sock.Connect(port)) << port;
}

// A peer whose accept queue is full never answers the connect: the caller
// (the main loop) is held for about a second, not for minutes.
TEST(DualSock, UnansweredConnectGivesUpAfterAboutASecond)
{
    TcpListener peer(0, 0);
    ASSERT_TRUE(peer.Ok());
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons((uint16_t)peer.Port());
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(fd, (sockaddr*)&a, sizeof a);
        fillers.push_back(fd);
    }
    usleep(100 * 1000);
    CZTBoardDualSock sock;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(sock.Connect(peer.Port()));
    long long ms = ElapsedMs(t0);
    EXPECT_GE(ms, CZTBoardDualSock::kConnectWaitMs - 100);
    EXPECT_LT(ms, CZTBoardDualSock::kConnectWaitMs + 2000);
    for (int fd : fillers)
        close(fd);
}

// A peer that goes away must neither kill the process (SIGPIPE) nor leave a
// half-written stream: the link is closed and later records are dropped.
TEST(DualSock, PeerGoneClosesLinkWithoutSignal)
{
    TcpListener peer;
    CZTBoardDualSock sock;
    ASSERT_TRUE(sock.Connect(peer.Port()));
    int fd = peer.Accept(2000);
    ASSERT_GE(fd, 0);
    close(fd);
    for (int i = 0; i < 100 && sock.IsConnected(); ++i) {
        sock.SendPoint(4, i, i);
        usleep(2000);
    }
    EXPECT_FALSE(sock.IsConnected());
    sock.SendTouch(1, 1, 1, 1);
}

// A peer that stops reading: once its buffers are full the link is given up
// within the send budget rather than holding the main loop.
TEST(DualSock, PeerThatStopsReadingIsGivenUp)
{
    TcpListener peer;
    CZTBoardDualSock sock;
    ASSERT_TRUE(sock.Connect(peer.Port()));
    int fd = peer.Accept(2000);
    ASSERT_GE(fd, 0);
    int small = 4096;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    auto t0 = std::chrono::steady_clock::now();
    long long longest = 0;
    for (int i = 0; i < 200000 && sock.IsConnected(); ++i) {
        auto t = std::chrono::steady_clock::now();
        sock.SendPoint(4, i, i);
        longest = std::max(longest, ElapsedMs(t));
    }
    EXPECT_FALSE(sock.IsConnected());
    EXPECT_LT(longest, CZTBoardDualSock::kSendWaitMs + 1000);
    EXPECT_LT(ElapsedMs(t0), 30000);
    close(fd);
}
