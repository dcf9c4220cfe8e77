// Side keys, pen-tray keys and pen buttons become command words for the
// whiteboard software. A press waits for the application's 500 ms key timer,
// so that a second press of the same key can become a double press.
#pragma once
#include <wx/arrstr.h>
#include <wx/string.h>

#include <atomic>
#include <functional>
#include <mutex>

#include "Common.h"

class CMouseCtrlBase;

class CSidekeyProcess {
public:
    static constexpr int kKeyCount = 28;
    static constexpr int kKeysPerStrip = 14;

    CSidekeyProcess(bool bHadHand, const wxString& strWorkType);
    virtual ~CSidekeyProcess();

    // The worker's pointer and a way to read its last screen point, for the
    // right click of the "back" button. Set once by the worker after
    // construction, before its thread runs.
    void AttachPointer(CMouseCtrlBase* pMouse, std::function<ScreenPoint()> fnScreenPoint);

    void LoadConfig();
    void LoadSoftKeyFlag();
    void CalcPointSize();
    // Index 0..27 of the soft key under a raw board point, or -1.
    int HitTest(int x, int y);
    // nType: 1 touch, 2 pen.
    void OnSoftKey(int nIndex, int nType);
    void StartSoftKey(const wxString& strCmd);
    // The key timer fired: performs the pending word.
    void ExecuteKey();
    void SendCmd(const wxString& strCmd, bool bDirect);

    // The words of the front and back buttons (pen-button settings of the
    // boards that have them). Safe on any thread.
    void SetPenKeyWords(const wxString& strFront, const wxString& strBack);
    // The pending word, for diagnostics and tests.
    wxString GetPendingCmd();

    wxArrayString m_arrCmd;
    wxString m_strWorkType;
    BoardPoint m_key[kKeyCount];
    bool m_bHadHand;
    // Re-read on the main thread (SetWorkMode 3) while the worker tests keys.
    std::atomic<bool> m_bSoftKey;
    int m_nPointSize;
    // Guarded by m_cmdLock.
    wxString m_strCurCmd;
    // Set by the worker's press, read when the timer's ExecuteKey sends.
    std::atomic<int> m_nKeyType;
    // Guarded by m_cmdLock once the worker runs.
    wxString m_strFront;
    wxString m_strBack;
    int m_nTolX;
    int m_nTolY;

private:
    enum Action { ACT_NONE, ACT_EXECUTE_AND_ARM, ACT_PEN_DOUBLE, ACT_FRONT_DOUBLE,
                  ACT_BACK_DOUBLE, ACT_BACK_DOUBLE_WORD };

    void Perform(const wxString& strCmd, const wxString& strFront, const wxString& strBack);
    void PressNew(const wxString& strCmd);
    void Arm(const wxString& strCmd);
    Action ClassifyRepeat(const wxString& strCmd, const wxString& strFront,
                          const wxString& strBack) const;
    void RightClick();
    void SendWord(const char* pWord);

    CMouseCtrlBase* m_pMouse;
    std::function<ScreenPoint()> m_fnScreenPoint;
    int m_nStartCount;

    // StartSoftKey runs on the worker thread and ExecuteKey on the main
    // thread when the key timer fires: both read and change the pending
    // word. The lock is held only while the word and m_bPending are read or
    // changed, never while anything is sent or queued.
    std::mutex m_cmdLock;
    // A press waits for the key timer. The timer is armed on the main thread
    // some time after the press queued the request, so the process keeps its
    // own record instead of asking the timer; a fire that arrives after the
    // worker already handled the press (the stop request still queued) finds
    // it cleared and does nothing.
    bool m_bPending;
};
