// Access to boards behind a CP210x USB-to-serial bridge: the bridge's tty
// node, found through libudev by the USB ids, driven with termios.
#pragma once
#include <cstdint>

struct cp210x_device;

// Opens the tty of the index-th (0: first) USB device with these ids, in
// raw mode; null when there is none or it cannot be opened.
cp210x_device* cp210x_open(unsigned int vendor, unsigned int product, int index);
// Enables (1) or disables (0) the bridge's interface: enabling drops stale
// input and raises DTR and RTS. 0 on success, -1 on error.
int cp210x_set_IFC(cp210x_device* h, int enable);
// The line's control flags (termios c_cflag). 0 on success, -1 on error.
int cp210x_get_termios(cp210x_device* h, unsigned int* pFlags);
// Applies control flags and a speed in bits per second (0 keeps the
// current speed). 0 on success, -1 on error.
int cp210x_set_termios(cp210x_device* h, unsigned int flags, unsigned int speed);
// Reads up to len bytes, waiting at most 500 ms in all for them; the count
// read (0 on time-out), -1 on error.
int cp210x_read(cp210x_device* h, unsigned char* pBuf, int len);
// Writes len bytes; the count written, -1 on error.
int cp210x_write(cp210x_device* h, const unsigned char* pBuf, int len);
void cp210x_close(cp210x_device* h);

// The tty node the handle was opened on.
const char* cp210x_node(const cp210x_device* h);
