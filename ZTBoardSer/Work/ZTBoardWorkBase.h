// Base of every board worker: a detached thread that owns one board and its
// per-board components, reads the board's reports and dispatches them.
#pragma once
#include <wx/string.h>
#include <wx/thread.h>

#include <atomic>
#include <map>
#include <memory>

#include "Common.h"

class CMouseCtrlBase;
class CDeviceBase;
class CConversionBase;
class COrientProcess;
class CSidekeyProcess;

class CZTBoardWorkBase : public wxThread {
public:
    CZTBoardWorkBase();
    ~CZTBoardWorkBase() override;

    // Worker of the class for a board type code, or null when the code has
    // none. Neither created as a thread nor initialised.
    static CZTBoardWorkBase* CreateWorkThread(int nBoardType);

    void OnExit() override;
    ExitCode Entry() override;
    virtual void SetPointCount(int n) {}
    virtual bool InitWork(CDeviceBase* pDev);
    virtual bool CheckData();
    virtual int GetDataType() = 0;
    virtual bool ParseData() = 0;
    virtual int ReadData(unsigned char* pBuf, int nLen);
    virtual int WriteData(const unsigned char* pBuf, int nLen);
    virtual int SendWorkMode();
    virtual bool ReadDriverSet() { return false; }
    virtual bool ReadPenKeySet() { return false; }
    virtual void OnOrient() {}
    virtual void OnCommon() {}
    virtual void OnDualFull() {}
    virtual void OnDualSplit() {}
    virtual void OnPressT() {}
    virtual void OnPressS() {}
    virtual void OnReleaseT() {}
    virtual void OnReleaseS() {}
    virtual void OnKeyFront() {}
    virtual void OnKeyBack() {}
    virtual void OnExtData() {}
    virtual void OnReserved7() {}
    virtual void OnReserved9() {}
    virtual void OnReserved8() {}
    virtual bool CheckSideKey(int x, int y, int nKind);
    virtual bool SetWorkMode(int nCmd, int nMid);

    void ReleaseWork();
    void SaveDevicePath();
    void RunKeyCommand();
    void ReloadConversion();

    CDeviceBase* GetDevice() const { return m_pDev; }

    // Posted once the worker has released everything it owns, so that whoever
    // asked it to end knows when nothing of it is touched any more.
    void SetExitSignal(std::shared_ptr<wxSemaphore> sig) { m_exitSignal = std::move(sig); }

    // The read loop's silence limit, computed by the first worker that runs
    // the base loop and kept for the whole process.
    static int TimeLimit() { return s_nTimeLimit.load(); }

    CMouseCtrlBase* m_pMouse;
    CDeviceBase* m_pDev;
    CConversionBase* m_pConversion;
    COrientProcess* m_pOrient;
    CSidekeyProcess* m_pSidekey;
    std::map<unsigned char, wxString> m_mapKeyCmd;
    double m_x, m_y;
    int m_iScreenX, m_iScreenY;
    unsigned char* m_pData;
    int m_iDataLen;
    int m_bKeyDown1;
    int m_bKeyDown2;
    // Written by SetWorkMode on the main thread, read by the read loop: the
    // read loop only needs to see a change at its next report.
    std::atomic<int> m_state;
    wxString m_strWorkType;
    std::atomic<bool> m_bDualFull;
    std::atomic<bool> m_bDualSplit;

protected:
    // Component factories; a test replaces them with recording fakes.
    virtual CMouseCtrlBase* CreateMouse();
    // Releases whatever contact is still down when the worker ends, so that
    // no button stays pressed on the X server. Runs on the worker thread
    // after the read loop returned.
    virtual void ReleaseContacts();
    // After a failed read (an unplugged board fails at once) wait as long as
    // a timed-out read would, so that no read loop spins.
    void PauseAfterFailedRead();
    void DispatchReport();

private:
    static std::atomic<int> s_nTimeLimit;
    std::shared_ptr<wxSemaphore> m_exitSignal;
};
