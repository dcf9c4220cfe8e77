#include "HardeningUtil.h"

#include <fstream>
#include <sstream>

#include "XRecorder.h"
#include "ZtTestEnv.h"

namespace hardening {

Bytes FrameReport(int status, int x, int y)
{
    Bytes b(64, 0);
    b[0] = 0x01;
    b[1] = (unsigned char)status;
    b[2] = 1;
    const int v[4] = {x, y, 20, 20};
    for (int i = 0; i < 4; ++i) {
        b[3 + 2 * i] = (unsigned char)(v[i] & 0xFF);
        b[4 + 2 * i] = (unsigned char)((v[i] >> 8) & 0xFF);
    }
    return b;
}

std::string ShippedConfig()
{
    std::ifstream in(zt::SourceDir() + "/Config/config.xml", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

unsigned WaitForButtons(bool (*pred)(unsigned mask), int ms)
{
    unsigned mask = 0;
    for (int waited = 0;; waited += 20) {
        zt::PointerState p = zt::QueryPointer();
        mask = p.mask;
        if ((p.ok && pred(mask)) || waited >= ms)
            return mask;
        zt::SleepMs(20);
    }
}

} // namespace hardening
