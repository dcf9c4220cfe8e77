// The companion socket's receive path on arbitrary datagrams from the
// whiteboard software's port.
//
// Input: one byte, the style of the board on line (signed: -1 is none), then
// datagrams, each a length byte (0..50, taken modulo 51) and its bytes. Each
// datagram is handed over as the application's socket handler does: in a
// zeroed buffer, cut at 50 bytes and terminated.
#include <string>
#include <vector>

#include "App/ZTBoardHost.h"
#include "Comm/ZTBoardIPCSock.h"
#include "FuzzSupport.h"
#include "Work/BoardTypes.h"

namespace {

// Keeps what the parser answers instead of sending it.
class CapturingSock : public CZTBoardIPCSock {
public:
    void Send(const void* pData, int nLen) override
    {
        sent.emplace_back((const char*)pData, (size_t)nLen);
    }
    std::vector<std::string> sent;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ztfuzz::QuietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ztfuzz::ByteSource in(data, size);
    CapturingSock sock;
    int style = (int)(int8_t)in.Byte();
    sock.SetStyle(style);
    g_bSoftOnline = false;
    g_bInBoardFrm = false;

    while (!in.Empty()) {
        size_t n = in.Byte() % 51;
        char buf[51] = {0};
        n = in.Take(buf, n);
        buf[n < 50 ? n : 50] = '\0';
        const std::string text(buf);

        int code = sock.Parse(buf);
        ZT_FUZZ_CHECK(code >= CZTBoardIPCSock::RECV_UNKNOWN &&
                          code <= CZTBoardIPCSock::RECV_NOT_IN_BOARD_FRM,
                      "code %d for \"%s\"", code, buf);
        if (text.size() < 4 || text[1] != 'Z' || text[2] != 'T')
            ZT_FUZZ_CHECK(code == CZTBoardIPCSock::RECV_UNKNOWN, "code %d for \"%s\"", code, buf);
        ZT_FUZZ_CHECK(text == buf, "the parser changed the text");

        size_t before = sock.sent.size();
        bool wasOnline = g_bSoftOnline;
        sock.OnRecv(buf);
        const std::string cmd = text.size() >= 4 ? text.substr(4) : "";
        if (code == CZTBoardIPCSock::RECV_START) {
            // The reply tells the current state, with the style's name when
            // a board is on line.
            ZT_FUZZ_CHECK(sock.sent.size() == before + 1, "no reply to \"%s\"", buf);
            const char* name = ZTStyleName(sock.GetStyle());
            std::string expect = name ? std::string("#ZT@Connect@") + name : "#ZT@DisConnect";
            if (expect.size() > 49)
                expect.resize(49);
            ZT_FUZZ_CHECK(sock.sent.back() == expect, "reply \"%s\", expected \"%s\"",
                          sock.sent.back().c_str(), expect.c_str());
            ZT_FUZZ_CHECK(g_bSoftOnline, "Start left the software off line");
        } else {
            ZT_FUZZ_CHECK(sock.sent.size() == before, "\"%s\" was answered", buf);
        }
        if (code == CZTBoardIPCSock::RECV_CLOSE)
            ZT_FUZZ_CHECK(!g_bSoftOnline, "Close left the software on line");
        else if (code != CZTBoardIPCSock::RECV_START)
            ZT_FUZZ_CHECK(g_bSoftOnline == wasOnline, "\"%s\" changed the on-line flag", buf);
        if (code == CZTBoardIPCSock::RECV_IN_BOARD_FRM)
            ZT_FUZZ_CHECK(g_bInBoardFrm && cmd == "InBoardFrm", "\"%s\"", buf);
        if (code == CZTBoardIPCSock::RECV_NOT_IN_BOARD_FRM)
            ZT_FUZZ_CHECK(!g_bInBoardFrm && cmd == "NotInBoardFrm", "\"%s\"", buf);
    }
    for (const std::string& m : sock.sent)
        ZT_FUZZ_CHECK(m.size() <= 49 && m.compare(0, 4, "#ZT@") == 0, "sent \"%s\"", m.c_str());
    return 0;
}
