// Pieces of the robustness tests: frame reports and the shipped settings.
#pragma once
#include <string>
#include <vector>

namespace hardening {

using Bytes = std::vector<unsigned char>;

// A 64-byte report of a ZEZ frame: contact record 0 with this status (7
// touching, 0 lifted) at board (x, y), the other records empty.
Bytes FrameReport(int status, int x, int y);

// The configuration file the project ships.
std::string ShippedConfig();

// The X pointer's buttons (Button1Mask 0x100, Button3Mask 0x400) as the
// server has them after a round trip, asked on a connection of our own;
// waits up to ms for pred to hold and returns the last mask seen.
unsigned WaitForButtons(bool (*pred)(unsigned mask), int ms);
inline bool NoButton(unsigned m) { return (m & 0x1F00) == 0; }
inline bool LeftDown(unsigned m) { return (m & 0x100) != 0; }

} // namespace hardening
