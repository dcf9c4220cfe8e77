#include "SidekeyProcess.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "App/ZTBoardHost.h"
#include "ConfigXML.h"
#include "Pointer/MouseCtrlBase.h"

namespace {

const char* const kKeyWords[CSidekeyProcess::kKeysPerStrip] = {
    "anew", "save", "prev", "next", "mous", "bpen", "rpen",
    "lpen", "gpen", "eare", "cust", "cusp", "orient", "board"};

// Words that tell the whiteboard software which tool the pen takes; a pen
// press of one of them carries the pen prefix.
const char* const kPenToolWords[] = {"mous", "bpen", "rpen", "lpen", "gpen",
                                     "eare", "bped", "rped", "lped", "gped"};

struct DoubleWord {
    const char* single;
    const char* twice;
};
const DoubleWord kPenDoubles[] = {
    {"bpen", "bped"}, {"rpen", "rped"}, {"lpen", "lped"}, {"gpen", "gped"}};

const char kFrontDefault[] = "elfc";
const char kBackDefault[] = "elbc";

// Key sizes beyond any board's range are a broken file; kept small enough
// that the tolerance arithmetic cannot overflow.
const double kMaxPointSize = INT_MAX / 32;

bool IsPenToolWord(const wxString& s)
{
    for (const char* w : kPenToolWords)
        if (s == w)
            return true;
    return false;
}

const char* PenDoubleOf(const wxString& s)
{
    for (const DoubleWord& d : kPenDoubles)
        if (s == d.single)
            return d.twice;
    return nullptr;
}

// The vertical gaps between neighbouring keys that the key size is taken from.
const int kGapPairs[][2] = {{1, 2}, {5, 6}, {12, 13}, {16, 17}, {24, 25}, {26, 27}};

} // namespace

CSidekeyProcess::CSidekeyProcess(bool bHadHand, const wxString& strWorkType)
    : m_strWorkType(strWorkType), m_bHadHand(bHadHand), m_bSoftKey(false), m_nPointSize(0),
      m_nKeyType(0), m_strFront(kFrontDefault), m_strBack(kBackDefault), m_nTolX(0), m_nTolY(0),
      m_pMouse(nullptr), m_nStartCount(0), m_bPending(false)
{
    for (const char* w : kKeyWords)
        m_arrCmd.Add(w);
}

CSidekeyProcess::~CSidekeyProcess() {}

void CSidekeyProcess::AttachPointer(CMouseCtrlBase* pMouse,
                                    std::function<ScreenPoint()> fnScreenPoint)
{
    m_pMouse = pMouse;
    m_fnScreenPoint = std::move(fnScreenPoint);
}

void CSidekeyProcess::LoadConfig()
{
    double xy[kKeyCount * 2];
    for (int i = 0; i < kKeyCount; ++i) {
        xy[2 * i] = m_key[i].x;
        xy[2 * i + 1] = m_key[i].y;
    }
    int flag = 0;
    CConfigXML cfg;
    cfg.Load(ZT_CONFIG_FILE);
    const wxScopedCharBuffer section = m_strWorkType.utf8_str();
    cfg.GetPoints(section, "HOTKEY", "key", kKeyCount, xy);
    cfg.GetInt(section, "Flag", "Enable_Soft_Sidekey", &flag, 0);
    cfg.Close();
    for (int i = 0; i < kKeyCount; ++i) {
        m_key[i].x = xy[2 * i];
        m_key[i].y = xy[2 * i + 1];
    }

    CalcPointSize();
    const bool bWide = m_strWorkType == "ZTBoardWorkDVT" || m_strWorkType == "ZTBoardWorkDVTQ";
    m_nTolX = m_nPointSize * (bWide ? 13 : 9) / 25;
    m_nTolY = m_nPointSize * 12 / 25;
    m_bSoftKey = !m_bHadHand && flag != 0;
    ZTPrintLine("**ZTLog**side keys: size %d, tolerance %d x %d, soft keys %s", m_nPointSize,
                m_nTolX, m_nTolY, m_bSoftKey ? "on" : "off");
}

void CSidekeyProcess::LoadSoftKeyFlag()
{
    int flag = 0;
    CConfigXML cfg;
    cfg.Load(ZT_CONFIG_FILE);
    cfg.GetInt(m_strWorkType.utf8_str(), "Flag", "Enable_Soft_Sidekey", &flag, 0);
    cfg.Close();
    m_bSoftKey = !m_bHadHand && flag != 0;
}

void CSidekeyProcess::CalcPointSize()
{
    double s = 0;
    for (const auto& g : kGapPairs)
        s += m_key[g[1]].y - m_key[g[0]].y;
    double size = std::trunc(s * 5 / 48);
    if (!std::isfinite(size) || std::fabs(size) > kMaxPointSize) {
        ZTPrintLine("**ZTLog**side key positions out of range: soft keys get no size");
        size = 0;
    }
    m_nPointSize = (int)size;
}

int CSidekeyProcess::HitTest(int x, int y)
{
    if (!m_bSoftKey)
        return -1;
    // A position just left of the board's edge arrives as a large unsigned
    // value.
    if (x > 60000)
        x -= 65535;
    for (int i = 0; i < kKeyCount; ++i)
        if (std::fabs(m_key[i].x - x) < m_nTolX && std::fabs(m_key[i].y - y) < m_nTolY)
            return i;
    return -1;
}

void CSidekeyProcess::OnSoftKey(int nIndex, int nType)
{
    if (nIndex < 0) {
        ZTPrintLine("**ZTLog**OnSoftKey: no key %d", nIndex);
        return;
    }
    m_nKeyType = nType;
    StartSoftKey(m_arrCmd[nIndex % kKeysPerStrip]);
}

void CSidekeyProcess::SetPenKeyWords(const wxString& strFront, const wxString& strBack)
{
    std::lock_guard<std::mutex> guard(m_cmdLock);
    m_strFront = strFront.Clone();
    m_strBack = strBack.Clone();
}

wxString CSidekeyProcess::GetPendingCmd()
{
    std::lock_guard<std::mutex> guard(m_cmdLock);
    return m_strCurCmd.Clone();
}

CSidekeyProcess::Action CSidekeyProcess::ClassifyRepeat(const wxString& strCmd,
                                                        const wxString& strFront,
                                                        const wxString& strBack) const
{
    if (strCmd == "front")
        return strFront == kFrontDefault ? ACT_FRONT_DOUBLE : ACT_EXECUTE_AND_ARM;
    if (strCmd == "back")
        return strBack == kBackDefault ? ACT_BACK_DOUBLE : ACT_BACK_DOUBLE_WORD;
    if (PenDoubleOf(strCmd))
        return ACT_PEN_DOUBLE;
    return ACT_EXECUTE_AND_ARM;
}

void CSidekeyProcess::StartSoftKey(const wxString& strCmdIn)
{
    const wxString strCmd = strCmdIn.Clone();
    ZTPrintLine("%d>>>StartSoftKey:%s", ++m_nStartCount, (const char*)strCmd.utf8_str());

    bool bRunning, bRepeat;
    Action action = ACT_NONE;
    wxString strOld, strFront, strBack;
    {
        std::lock_guard<std::mutex> guard(m_cmdLock);
        strFront = m_strFront.Clone();
        strBack = m_strBack.Clone();
        bRunning = m_bPending;
        bRepeat = bRunning && strCmd == m_strCurCmd;
        if (bRepeat)
            action = ClassifyRepeat(strCmd, strFront, strBack);
        // Whatever follows handles the pending press here, so a timer fire
        // that is already on its way must not perform it as well.
        strOld = m_strCurCmd.Clone();
        m_bPending = false;
        if (bRepeat && action != ACT_EXECUTE_AND_ARM)
            m_strCurCmd.clear();
    }

    if (!bRunning) {
        PressNew(strCmd);
        return;
    }
    if (!bRepeat) {
        // A different key within the timer period: the pending one goes
        // first.
        ZTHost()->StopKeyTimer();
        Perform(strOld, strFront, strBack);
        PressNew(strCmd);
        return;
    }
    switch (action) {
    case ACT_PEN_DOUBLE:
        SendCmd(PenDoubleOf(strCmd), false);
        ZTHost()->StopKeyTimer();
        break;
    case ACT_FRONT_DOUBLE:
        SendWord("elfd");
        ZTHost()->StopKeyTimer();
        break;
    case ACT_BACK_DOUBLE:
        SendWord("elbd");
        ZTHost()->StopKeyTimer();
        ZTHost()->PostAppCommand(0);
        break;
    case ACT_BACK_DOUBLE_WORD:
        ZTHost()->StopKeyTimer();
        SendCmd(strBack, true);
        SendCmd(strBack, true);
        ZTHost()->PostAppCommand(0);
        break;
    default:
        ZTHost()->StopKeyTimer();
        Perform(strOld, strFront, strBack);
        Arm(strCmd);
        break;
    }
}

void CSidekeyProcess::PressNew(const wxString& strCmd)
{
    if (strCmd == "front" || strCmd == "back") {
        std::unique_lock<std::mutex> guard(m_cmdLock);
        const bool bDefault = strCmd == "front" ? m_strFront == kFrontDefault
                                                : m_strBack == kBackDefault;
        guard.unlock();
        if (bDefault)
            SendWord(strCmd == "front" ? kFrontDefault : kBackDefault);
    }
    Arm(strCmd);
}

void CSidekeyProcess::Arm(const wxString& strCmd)
{
    {
        std::lock_guard<std::mutex> guard(m_cmdLock);
        m_strCurCmd = strCmd.Clone();
        m_bPending = true;
    }
    ZTHost()->PostAppCommand(3);
}

void CSidekeyProcess::ExecuteKey()
{
    wxString strCmd, strFront, strBack;
    {
        std::lock_guard<std::mutex> guard(m_cmdLock);
        if (!m_bPending)
            return;
        m_bPending = false;
        strCmd = m_strCurCmd.Clone();
        strFront = m_strFront.Clone();
        strBack = m_strBack.Clone();
    }
    Perform(strCmd, strFront, strBack);
}

// The single press of a word.
void CSidekeyProcess::Perform(const wxString& strCmd, const wxString& strFront,
                              const wxString& strBack)
{
    if (strCmd.empty())
        return;
    if (strCmd == "orient") {
        ZTHost()->PostAppCommand(1);
    } else if (strCmd == "board") {
        ZTHost()->PostAppCommand(0);
    } else if (strCmd == "front") {
        if (strFront != kFrontDefault)
            SendCmd(strFront, true);
    } else if (strCmd == "back") {
        if (!g_bInBoardFrm)
            RightClick();
        if (strBack != kBackDefault)
            SendCmd(strBack, true);
    } else {
        SendCmd(strCmd, false);
    }
}

void CSidekeyProcess::RightClick()
{
    if (!m_pMouse) {
        ZTPrintLine("**ZTLog**back key: no pointer to right-click with");
        return;
    }
    ScreenPoint pt = m_fnScreenPoint ? m_fnScreenPoint() : ScreenPoint();
    m_pMouse->MouseEvent(pt.x, pt.y, MOUSE_RCLICK);
}

void CSidekeyProcess::SendWord(const char* pWord)
{
    ZTHost()->OnSend(pWord, (int)strlen(pWord));
}

void CSidekeyProcess::SendCmd(const wxString& strCmd, bool bDirect)
{
    char msg[15] = {0};
    int len = 0;
    if (!bDirect && m_nKeyType == 2 && IsPenToolWord(strCmd))
        len = snprintf(msg, sizeof msg, "#%s@Stu", "ZT");
    const wxCharBuffer narrow = strCmd.Left(4).mb_str();
    // A character the locale cannot encode leaves no text; a multi-byte one
    // is cut at the end of the message rather than written past it.
    if (narrow.data())
        snprintf(msg + len, sizeof msg - len, "%s", narrow.data());
    len = (int)strlen(msg);
    if (len == 0)
        return;
    ZTHost()->OnSend(msg, len);
}
