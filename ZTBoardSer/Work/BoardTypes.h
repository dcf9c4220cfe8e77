// Board type codes: the small integers that name a board model.
#pragma once

// Codes the device layer replaces by asking the board for its model.
enum { BOARD_PROVISIONAL_ET = 30, BOARD_PROVISIONAL_ETD = 31, BOARD_PROVISIONAL_ETP = 32 };

// Style name of a board type code for the whiteboard software, or null when
// the code has none (above 28, or -1 for no board).
const char* ZTStyleName(int nCode);
