// The multi-touch infrared frames share one report format and one pipeline;
// what differs between the models is data, one row per model.
#pragma once

// What the read loop prints when it starts and per report.
enum class IRQEntryLog {
    None,
    Named,   // "**Quenlo**ZTBoardWorkIRQ::Entry()"
    HexDump, // "irqh entry", then every report byte by byte
};

// How many contact records of a report the multi-touch path reads.
enum class IRQRecordSource {
    PointCount, // the number the hot-plug watcher set (4 or 6)
    AllRecords, // all six
    FrameCount, // the frame's contact count byte; frames of more than six
                // contacts span several reports
};

// What size-report mode hands to the settings tool at the third sample.
enum class IRQSizeReport {
    Size,        // the stroke size
    ScaledFifth, // the classification value (printed), divided by 5
};

// The line ReadDriverSet prints with the three values.
enum class IRQDriverSetLog { None, Quenlo, Plain };

struct IRQModel {
    const char* pName;
    int nBoardType;

    // Start command: the first four bytes of a 64-byte report, the rest zero.
    unsigned char start[4];
    bool bStartAsFeature; // SendFeature instead of WriteRaw

    IRQEntryLog entryLog;
    // Record 0 statuses 0x0A..0x0D are pen-tray keys.
    bool bPenTray;
    // OnCommon with two contacts drives the pointer at their midpoint, and a
    // second contact in any other state than 0 or 7 releases it.
    bool bTwoContactCommon;
    // OnPressT drops points on or beyond the screen edge.
    bool bPressBounds;
    // The stroke size adds record 1's width and height when it touches.
    bool bTwoRecordSize;

    // OnPressT classification: v = trunc(scale * size); pen v < VALUE1,
    // mouse v <= VALUE2, eraser otherwise.
    double fClassifyScale;
    // Pen and mouse words only while the whiteboard software is on line, and
    // an eraser starts the software instead while it is off line. Without
    // this the words are always sent and an eraser does both.
    bool bOnlineRules;
    IRQSizeReport sizeReport;

    // ReportContactSize: pen when penScale * a < VALUE1, eraser when
    // eraserScale * a > VALUE2, mouse otherwise.
    double fPenScale;
    double fEraserScale;

    IRQRecordSource records;
    int nCountByte; // FrameCount: byte offset of the frame's contact count
    int nSlots;     // touch slots; slot 0 is the local pointer
    // OnMultiTouch accepts points on the screen edge (0 <= x <= width)
    // rather than strictly inside it.
    bool bInclusiveArea;
    // Only the first contact of the frame may take the free pointer slot,
    // rather than the first one no touch slot holds.
    bool bSlot0FirstOnly;
    bool bOrientLog; // "....return true" when a calibration completes

    // ReadDriverSet when the file cannot be loaded.
    int nDefaultValue1;
    int nDefaultValue2;
    int nDefaultGesture;
    IRQDriverSetLog driverSetLog;
};

extern const IRQModel g_irqModelZEZ;
extern const IRQModel g_irqModelIRQT;
extern const IRQModel g_irqModelIRQH;
extern const IRQModel g_irqModelIRQ16;

// Largest number of touch slots of any model.
const int kIRQMaxSlots = 16;
