#include "IRQModel.h"

// One column per model; the rows follow the order of IRQModel.
//
//                                ZEZ                 IRQT                IRQH                 IRQ16
// board type                     12                  13                  14                   15
// start command                  06 01 01 1F raw     07 01 01 1F raw     05 0B 01 1F feature  06 01 01 1F raw
// entry log                      named               none                hex dump             none
// pen-tray keys                  no                  yes                 yes                  yes
// two-contact common mode        no                  yes                 yes                  yes
// OnPressT screen bounds         yes                 no                  no                   no
// two-record stroke size         no                  yes                 yes                  yes
// classification scale           10                  8                   0.1                  8
// online rules                   yes                 no                  no                   no
// size report                    size                size                value / 5            size
// pen / eraser scale             8 / 8               8 / 8               0.07 / 0.1           8 / 8
// records                        point count         all six             count at byte 62     count at byte 61
// slots                          6                   6                   16                   16
// edge points accepted           no                  yes                 yes                  yes
// slot 0 first contact only      no                  yes                 yes                  yes
// orient log                     no                  yes                 yes                  yes
// DriverSet defaults             31 / 93 / 0         0 / 0 / 0           0 / 0 / 0            0 / 0 / 0
// DriverSet log                  "**Quenlo**..."     plain               plain                none

const IRQModel g_irqModelZEZ = {
    "ZEZ", 12, {0x06, 0x01, 0x01, 0x1F}, false, IRQEntryLog::Named,
    false, false, true, false,
    10.0, true, IRQSizeReport::Size, 8.0, 8.0,
    IRQRecordSource::PointCount, 0, 6, false, false, false,
    31, 93, 0, IRQDriverSetLog::Quenlo,
};

const IRQModel g_irqModelIRQT = {
    "IRQT", 13, {0x07, 0x01, 0x01, 0x1F}, false, IRQEntryLog::None,
    true, true, false, true,
    8.0, false, IRQSizeReport::Size, 8.0, 8.0,
    IRQRecordSource::AllRecords, 0, 6, true, true, true,
    0, 0, 0, IRQDriverSetLog::Plain,
};

const IRQModel g_irqModelIRQH = {
    "IRQH", 14, {0x05, 0x0B, 0x01, 0x1F}, true, IRQEntryLog::HexDump,
    true, true, false, true,
    0.1, false, IRQSizeReport::ScaledFifth, 0.07, 0.1,
    IRQRecordSource::FrameCount, 62, 16, true, true, true,
    0, 0, 0, IRQDriverSetLog::Plain,
};

const IRQModel g_irqModelIRQ16 = {
    "IRQ16", 15, {0x06, 0x01, 0x01, 0x1F}, false, IRQEntryLog::None,
    true, true, false, true,
    8.0, false, IRQSizeReport::Size, 8.0, 8.0,
    IRQRecordSource::FrameCount, 61, 16, true, true, true,
    0, 0, 0, IRQDriverSetLog::None,
};
