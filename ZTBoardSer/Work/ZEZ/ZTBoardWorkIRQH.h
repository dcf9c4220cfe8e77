// IRQH frame: start command sent as a feature report, every report dumped,
// strokes classified by a tenth of the contact size, frames of up to 16
// contacts over several reports (count in byte 62). Everything else is the
// family's pipeline (CZTBoardWorkIRQ, row g_irqModelIRQH).
#pragma once
#include "Work/ZEZ/ZTBoardWorkIRQ.h"

class CZTBoardWorkIRQH : public CZTBoardWorkIRQ {
public:
    CZTBoardWorkIRQH() : CZTBoardWorkIRQ(g_irqModelIRQH) {}
};
