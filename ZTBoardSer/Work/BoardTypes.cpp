#include "BoardTypes.h"

const char* ZTStyleName(int nCode)
{
    static const char* const names[] = {
        "StyleET",   "StyleETD",   "StylePS",    "StylePSG",   "StylePSD",   "StylePSDG",
        "StyleIR",   "StyleIRG",   "StyleIRD",   "StyleIRDG",  "StyleIRXG",  "StyleIRXDG",
        "StyleIRQ",  "StyleIRQ",   "StyleIRQ",   "StyleIRQ",   "StyleUI",    "StyleLT",
        "StyleLTFD", "StyleLTTD",  "StyleDVT",   "StyleDVT",   "StyleDVTQ",  "StyleDVTQ",
        "StyleOI",   "StyleETP",   "StyleETPD",  "StyleIRHKC", "StylePenHolder"};
    if (nCode < 0 || nCode >= (int)(sizeof names / sizeof names[0]))
        return nullptr;
    return names[nCode];
}
