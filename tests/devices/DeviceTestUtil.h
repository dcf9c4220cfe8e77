// Helpers shared by the device tests.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "BoardSim.h"
#include "Common.h"
#include "Device/DeviceBase.h"

namespace devtest {

using zt::sim::Bytes;

// A DeviceInfo that owns its path text.
struct Info {
    explicit Info(uint32_t vendor = 0x1314, uint32_t product = 0x1104, uint32_t devType = DEVTYPE_HID,
                  uint32_t boardType = 12, const std::string& path = "/devices/test/1-1:1.0",
                  uint32_t baud = 0)
        : text(path.begin(), path.end())
    {
        text.push_back('\0');
        info.nVendorID = vendor;
        info.nProductID = product;
        info.nDevType = devType;
        info.nBoardType = boardType;
        info.nBaudRate = baud;
        info.pDevPath = text.data();
    }
    std::vector<char> text;
    DeviceInfo info;
};

// Standard output of the code under test, captured while this lives.
class Stdout {
public:
    Stdout() { testing::internal::CaptureStdout(); }
    ~Stdout()
    {
        if (!m_done)
            testing::internal::GetCapturedStdout();
    }
    std::string Text()
    {
        if (!m_done) {
            m_text = testing::internal::GetCapturedStdout();
            m_done = true;
        }
        return m_text;
    }
    int Count(const std::string& line)
    {
        const std::string& t = Text();
        int n = 0;
        for (size_t p = t.find(line); p != std::string::npos; p = t.find(line, p + 1))
            ++n;
        return n;
    }

private:
    bool m_done = false;
    std::string m_text;
};

inline Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace devtest
