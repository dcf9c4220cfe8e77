#include "ZTBoardWorkBase.h"
#include "ThreadEnd.h"

#include <cstring>
#include <wx/utils.h>

#include "App/ZTBoardHost.h"
#include "ConfigXML.h"
#include "Device/DeviceBase.h"
#include "MouseCtrlLinux.h"
#include "Pointer/Conversion.h"
#include "Pointer/MouseCtrlBase.h"
#include "Pointer/OrientProcess.h"
#include "Pointer/SidekeyProcess.h"

std::atomic<int> CZTBoardWorkBase::s_nTimeLimit{-1};

CZTBoardWorkBase::CZTBoardWorkBase()
    : wxThread(wxTHREAD_DETACHED), m_pMouse(nullptr), m_pDev(nullptr), m_pConversion(nullptr),
      m_pOrient(nullptr), m_pSidekey(nullptr), m_x(0), m_y(0), m_iScreenX(0), m_iScreenY(0),
      m_pData(nullptr), m_iDataLen(8), m_bKeyDown1(0), m_bKeyDown2(0), m_state(0),
      m_bDualFull(false), m_bDualSplit(false)
{
}

CZTBoardWorkBase::~CZTBoardWorkBase()
{
    ReleaseWork();
    ZTPostThreadEnd(m_exitSignal);
}

void CZTBoardWorkBase::OnExit()
{
    ReleaseContacts();
}

void CZTBoardWorkBase::ReleaseContacts()
{
    if (m_pMouse && m_pMouse->IsPressed())
        m_pMouse->MouseEvent(m_iScreenX, m_iScreenY, MOUSE_UP);
}

CMouseCtrlBase* CZTBoardWorkBase::CreateMouse()
{
    return new CMouseCtrlLinux(m_strWorkType);
}

void CZTBoardWorkBase::SaveDevicePath()
{
    if (!m_pDev || !m_pDev->GetPath())
        return;
    CConfigXML cfg;
    cfg.Load(ZT_CONFIG_FILE);
    if (cfg.SetStr("Global", "Device", "path", m_pDev->GetPath()))
        cfg.Save();
    cfg.Close();
}

bool CZTBoardWorkBase::InitWork(CDeviceBase* pDev)
{
    m_pDev = pDev;
    SaveDevicePath();
    ZTPrintLine("---------------------m_strWorkType: %s", (const char*)m_strWorkType.utf8_str());

    m_pConversion = CreateConversion(m_strWorkType, "coordinate");
    InitConversion(m_pConversion);
    m_pMouse = CreateMouse();
    m_pMouse->LoadConstants();
    m_pOrient = new COrientProcess(m_strWorkType);
    bool bHadHand = m_pDev && m_pDev->m_bHadHand;
    m_pSidekey = new CSidekeyProcess(bHadHand, m_strWorkType);
    // The "back" key right-clicks at the last screen point from the main
    // thread (key timer); the worker keeps writing it meanwhile, and a click
    // at the point of one report earlier is as good.
    m_pSidekey->AttachPointer(m_pMouse, [this] { return ScreenPoint{m_iScreenX, m_iScreenY}; });
    m_pSidekey->LoadConfig();

    CConfigXML cfg;
    cfg.Load(ZT_CONFIG_FILE);
    bool changed = cfg.SetStr("Global", "CurrentRun", "TYPE", m_strWorkType.utf8_str());
    changed = cfg.SetInt(m_strWorkType.utf8_str(), "Flag", "Is_Had_Hand", bHadHand ? 1 : 0) || changed;
    if (changed)
        cfg.Save();
    cfg.Close();

    m_pData = new unsigned char[m_iDataLen];
    memset(m_pData, 0, m_iDataLen);
    return true;
}

int CZTBoardWorkBase::ReadData(unsigned char* pBuf, int nLen)
{
    return m_pDev ? m_pDev->Read(pBuf, nLen) : -1;
}

int CZTBoardWorkBase::WriteData(const unsigned char* pBuf, int nLen)
{
    if (!m_pDev) {
        ZTPrintLine("m_pDev = NULL");
        return -1;
    }
    return m_pDev->Write(pBuf, nLen);
}

int CZTBoardWorkBase::SendWorkMode()
{
    return m_pDev ? m_pDev->QueryBoardType() : -1;
}

bool CZTBoardWorkBase::CheckData()
{
    if (m_iDataLen < 8 || (m_pData[0] != 0xEE && m_pData[0] != 0xAA))
        return false;
    unsigned char x = 0;
    for (int i = 0; i < 7; ++i)
        x ^= m_pData[i];
    return x == m_pData[7];
}

void CZTBoardWorkBase::PauseAfterFailedRead()
{
    int timeout = m_pDev ? m_pDev->GetTimeout() : 500;
    for (int waited = 0; waited < timeout && !TestDestroy(); waited += 50)
        wxMilliSleep(50);
}

void CZTBoardWorkBase::DispatchReport()
{
    int t = GetDataType();
    switch (t) {
    case 0: OnPressT(); break;
    case 1: OnPressS(); break;
    case 2: OnReleaseT(); break;
    case 3: OnReleaseS(); break;
    case 4: OnKeyFront(); break;
    case 5: OnKeyBack(); break;
    case 6: OnExtData(); break;
    case 7: OnReserved7(); break;
    case 8: OnReserved8(); break;
    case 9: OnReserved9(); break;
    default:
        if (t >= 10 && m_pDev && m_pDev->m_bHadHand)
            RunKeyCommand();
        break;
    }
}

wxThread::ExitCode CZTBoardWorkBase::Entry()
{
    if (s_nTimeLimit.load() < 0) {
        int timeout = m_pDev ? m_pDev->GetTimeout() : 500;
        int expected = -1;
        s_nTimeLimit.compare_exchange_strong(expected, 2000 / (timeout > 0 ? timeout : 500) - 1);
    }
    const int L = s_nTimeLimit.load();
    ZTPrintLine("**ZTLog**WorkBase::Entry()>>%d", L);
    const bool isUI = m_strWorkType == "ZTBoardWorkUI";
    if (!isUI)
        SendWorkMode();

    int n = 0;
    bool online = true;
    while (!TestDestroy()) {
        memset(m_pData, 0, m_iDataLen);
        int r = ReadData(m_pData, m_iDataLen);
        if (r != m_iDataLen) {
            if (r < 0) {
                PauseAfterFailedRead();
                if (TestDestroy())
                    break;
            }
            if (isUI)
                continue;
            ++n;
            wxMilliSleep(1);
            if (n > L) {
                SendWorkMode();
                if (n == 3 * L) {
                    ZTHost()->SendConnectToSoft(false);
                    ZTPrintLine("TIME_LIMIT");
                    g_bSoftOnline = false;
                    online = false;
                }
            }
            continue;
        }
        if (!online) {
            if (m_strWorkType == "ZTBoardWorkIR")
                SetWorkMode(14, 0);
            ZTHost()->SendConnectToSoft(true);
            online = true;
        }
        n = 0;
        if (CheckData() && ParseData())
            DispatchReport();
    }
    return 0;
}

void CZTBoardWorkBase::RunKeyCommand()
{
    auto it = m_mapKeyCmd.find(m_pData[2]);
    if (it != m_mapKeyCmd.end() && m_pSidekey)
        m_pSidekey->StartSoftKey(wxString(it->second));
}

bool CZTBoardWorkBase::CheckSideKey(int x, int y, int nKind)
{
    if (!m_pSidekey)
        return false;
    int k = m_pSidekey->HitTest(x, y);
    if (k < 0)
        return false;
    if (nKind == 1 && !m_bKeyDown1) {
        m_pSidekey->OnSoftKey(k, 1);
        m_bKeyDown1 = 1;
    } else if (nKind == 2 && !m_bKeyDown2) {
        m_pSidekey->OnSoftKey(k, 2);
        m_bKeyDown2 = 1;
    }
    return true;
}

bool CZTBoardWorkBase::SetWorkMode(int nCmd, int nMid)
{
    switch (nCmd) {
    case 0:
        if (nMid == 0)
            m_state = 0;
        return true;
    case 1:
    case 2:
        m_state = nCmd;
        if (m_pOrient)
            m_pOrient->StartOrient(nMid, nCmd);
        return true;
    case 3:
        if (m_pSidekey)
            m_pSidekey->LoadSoftKeyFlag();
        return true;
    default:
        return false;
    }
}

void CZTBoardWorkBase::ReloadConversion()
{
    CConversionBase* pNew = CreateConversion(m_strWorkType, "coordinate");
    InitConversion(pNew);
    CConversionBase* pOld = m_pConversion;
    m_pConversion = pNew;
    delete pOld;
}

void CZTBoardWorkBase::ReleaseWork()
{
    {
        CConfigXML cfg;
        cfg.Load(ZT_CONFIG_FILE);
        if (cfg.SetStr("Global", "CurrentRun", "TYPE", ""))
            cfg.Save();
        cfg.Close();
    }
    if (m_pDev) {
        m_pDev->Close();
        delete m_pDev;
        m_pDev = nullptr;
    }
    delete m_pMouse;
    m_pMouse = nullptr;
    delete m_pConversion;
    m_pConversion = nullptr;
    delete m_pOrient;
    m_pOrient = nullptr;
    delete m_pSidekey;
    m_pSidekey = nullptr;
    delete[] m_pData;
    m_pData = nullptr;
}
