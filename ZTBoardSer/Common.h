// Types shared by every subsystem of the board service.
#pragma once
#include <cstdint>

// A point as decoded from a board report, in board units.
struct BoardPoint {
    double x = 0;
    double y = 0;
};

// A point after conversion, in screen pixels.
struct ScreenPoint {
    int x = 0;
    int y = 0;
};

// Event type passed with every sample to the pointer output.
enum MouseEventType {
    MOUSE_UP = 0,
    MOUSE_DOWN = 1,
    MOUSE_RCLICK = 2,
    MOUSE_CLICK = 3,
    MOUSE_MOVE = 4,
    MOUSE_REPRESS = 5,
};

// States of the touch records sent to the dual-screen peer.
enum { TOUCH_BEGIN = 0, TOUCH_MOVE = 1, TOUCH_END = 2 };

// Device kinds of DeviceInfo::nDevType.
enum { DEVTYPE_HID = 1, DEVTYPE_COM = 2, DEVTYPE_CAMERA = 3 };

// One attached board.
struct DeviceInfo {
    uint32_t nProductID = 0;
    uint32_t nVendorID = 0;
    uint32_t nDevType = 0;
    uint32_t nBaudRate = 0;
    char* pDevPath = nullptr;
    uint32_t nBoardType = 0;
    uint32_t nReserved = 0;
};

// Diagnostic output: one line on standard output, flushed at once, so that
// lines from several threads never interleave mid-line and nothing is lost
// when the process is killed.
void ZTPrintLine(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
