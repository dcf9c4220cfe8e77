#include "SidekeyProcess.h"

// Placeholder until the side-key process lands: no key is ever hit.
CSidekeyProcess::CSidekeyProcess(bool bHadHand, const wxString& strWorkType)
    : m_bHadHand(bHadHand), m_strWorkType(strWorkType) {}
CSidekeyProcess::~CSidekeyProcess() {}
void CSidekeyProcess::LoadConfig() {}
void CSidekeyProcess::LoadSoftKeyFlag() {}
int CSidekeyProcess::HitTest(int, int) { return -1; }
void CSidekeyProcess::OnSoftKey(int, int nType) { m_nKeyType = nType; }
void CSidekeyProcess::StartSoftKey(const wxString&) {}
void CSidekeyProcess::ExecuteKey() {}
void CSidekeyProcess::SendCmd(const wxString&, bool) {}
