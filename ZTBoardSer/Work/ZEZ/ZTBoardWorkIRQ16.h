// IRQ16 frame: like IRQT, with frames of up to 16 contacts over several
// reports (count in byte 61). Everything else is the family's pipeline
// (CZTBoardWorkIRQ, row g_irqModelIRQ16).
#pragma once
#include "Work/ZEZ/ZTBoardWorkIRQ.h"

class CZTBoardWorkIRQ16 : public CZTBoardWorkIRQ {
public:
    CZTBoardWorkIRQ16() : CZTBoardWorkIRQ(g_irqModelIRQ16) {}
};
