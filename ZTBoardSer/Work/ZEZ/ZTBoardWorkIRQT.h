// IRQT frame: start command 07 01 01 1F, pen-tray keys, the midpoint of two
// contacts in common mode, all six records in dual-full mode. Everything else
// is the family's pipeline (CZTBoardWorkIRQ, row g_irqModelIRQT).
#pragma once
#include "Work/ZEZ/ZTBoardWorkIRQ.h"

class CZTBoardWorkIRQT : public CZTBoardWorkIRQ {
public:
    CZTBoardWorkIRQT() : CZTBoardWorkIRQ(g_irqModelIRQT) {}
};
