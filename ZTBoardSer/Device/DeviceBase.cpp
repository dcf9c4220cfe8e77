#include "DeviceBase.h"

#include <wx/thread.h>

#include <cstdlib>
#include <cstring>

#include "Work/BoardTypes.h"

namespace {

// Family of the board by byte 0 of its type reply: -1 when unknown.
int FamilyOf(unsigned char b)
{
    static const unsigned char family0[] = {0xE5, 0xE6, 0xE8, 0xE9, 0xEA, 0xEC};
    for (unsigned char f : family0)
        if (b == f)
            return 0;
    return b == 0xC8 ? 2 : -1;
}

// Hand value by byte 1 of the reply: -1 when unknown.
int HandOf(unsigned char b)
{
    static const struct {
        unsigned char code;
        int hand;
    } table[] = {{0xEF, 0}, {0xED, 1}, {0xCE, 1}, {0xDD, 0}, {0xCC, 1}, {0xCA, 1},
                 {0xDA, 0}, {0x5F, 0}, {0x55, 1}, {0xAF, 0}, {0xA5, 1}};
    for (const auto& e : table)
        if (e.code == b)
            return e.hand;
    return -1;
}

bool IsProvisional(int nCode)
{
    return nCode == BOARD_PROVISIONAL_ET || nCode == BOARD_PROVISIONAL_ETD ||
           nCode == BOARD_PROVISIONAL_ETP;
}

// The watcher identifies a board on its own thread; a board that never
// answers must not keep that thread from ending when it is asked to.
bool StopRequested()
{
    wxThread* self = wxThread::This();
    return self && self->TestDestroy();
}

} // namespace

bool ZTResolveBoardType(int nCode, unsigned char family, unsigned char hand, int* pCode,
                        bool* pHadHand)
{
    int fam = FamilyOf(family);
    if (fam < 0)
        return false;
    if (nCode == BOARD_PROVISIONAL_ET)
        nCode = fam == 0 ? 0 : 2;
    else if (nCode == BOARD_PROVISIONAL_ETD)
        nCode = fam == 0 ? 1 : 4;
    // A known family with an unknown hand byte still refines the code: the
    // next reply is looked up with the code already changed.
    *pCode = nCode;
    int h = HandOf(hand);
    if (h < 0)
        return false;
    *pHadHand = h == 1;
    if (nCode == BOARD_PROVISIONAL_ETP) {
        if (hand == 0x55 || hand == 0x5F)
            *pCode = 25;
        else if (hand == 0xA5 || hand == 0xAF)
            *pCode = 26;
    }
    return true;
}

CDeviceBase::CDeviceBase(const DeviceInfo& info)
    : m_bHadHand(false), m_bInit(false), m_devInfo(info), m_nTimeout(500)
{
    m_devInfo.pDevPath = info.pDevPath ? strdup(info.pDevPath) : nullptr;
}

CDeviceBase::~CDeviceBase()
{
    free(m_devInfo.pDevPath);
}

int CDeviceBase::ReadRaw(unsigned char*, int)
{
    return -1;
}

int CDeviceBase::WriteRaw(const unsigned char*, int)
{
    ZTPrintLine("base.........");
    return -1;
}

int CDeviceBase::SendFeature(const unsigned char*, int)
{
    return -1;
}

int CDeviceBase::QueryBoardType()
{
    static const unsigned char request[8] = {0xCE, 0, 0, 0, 0, 0, 0, 0};
    return Write(request, sizeof request);
}

bool CDeviceBase::IsSameDevice(const DeviceInfo* pInfo)
{
    const char* other = pInfo ? pInfo->pDevPath : nullptr;
    ZTPrintLine("devInfo.pDevPath:%s", other ? other : "(null)");
    if (!other || !m_devInfo.pDevPath)
        return false;
    return strcmp(other, m_devInfo.pDevPath) == 0;
}

bool CDeviceBase::DetectBoardType()
{
    int nCode = (int)m_devInfo.nBoardType;
    if (!IsProvisional(nCode)) {
        m_bHadHand = false;
        return true;
    }
    for (;;) {
        if (StopRequested())
            return false;
        QueryBoardType();
        unsigned char reply[8] = {0};
        int n = Read(reply, sizeof reply);
        if (n == -1) {
            ZTPrintLine("quit");
            return false;
        }
        // A time-out or a short report: ask again. Every read waits up to
        // m_nTimeout, so this repeats at that pace and never spins.
        if (n != (int)sizeof reply)
            continue;
        bool bHadHand = false;
        int nNew = nCode;
        bool ok = ZTResolveBoardType(nCode, reply[0], reply[1], &nNew, &bHadHand);
        nCode = nNew;
        m_devInfo.nBoardType = (uint32_t)nCode;
        if (!ok)
            continue;
        m_bHadHand = bHadHand;
        return true;
    }
}
