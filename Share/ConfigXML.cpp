#include "ConfigXML.h"

#include <tinyxml2.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <chrono>
#include <unistd.h>
#include <vector>

using namespace tinyxml2;

namespace {

// Serialises every load and save of the file within the process.
std::mutex& ConfigMutex()
{
    static std::mutex s_mutex;
    return s_mutex;
}

bool ScanInt(const char* text, int* pValue)
{
    if (!text)
        return false;
    return sscanf(text, "%d", pValue) == 1;
}

std::string PointName(const char* prefix, int i)
{
    char name[32];
    snprintf(name, sizeof name, "%s%d", prefix, i);
    return name;
}

bool WriteAll(int fd, const char* p, size_t n)
{
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= (size_t)w;
    }
    return true;
}

} // namespace

CConfigXML::CConfigXML() : m_pDoc(nullptr), m_bLoaded(false), m_pPath(nullptr) {}

CConfigXML::~CConfigXML()
{
    Close();
    free(m_pPath);
}

bool CConfigXML::LoadOnce(const char* path)
{
    FILE* fp = fopen(path, "rb");
    if (!fp)
        return false;
    struct stat st;
    bool ok = fstat(fileno(fp), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
              st.st_size <= kMaxFileSize;
    if (ok)
        ok = m_pDoc->LoadFile(fp) == XML_SUCCESS && m_pDoc->RootElement() != nullptr;
    fclose(fp);
    return ok;
}

bool CConfigXML::Load(const char* path)
{
    std::lock_guard<std::mutex> guard(ConfigMutex());
    Close();
    if (!path)
        return false;
    free(m_pPath);
    m_pPath = strdup(path);
    m_pDoc = new XMLDocument();
    for (int attempt = 0; attempt < kLoadAttempts; ++attempt) {
        if (LoadOnce(path)) {
            m_bLoaded = true;
            return true;
        }
        m_pDoc->Clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(kLoadPauseMs));
    }
    return false;
}

void CConfigXML::Close()
{
    m_bLoaded = false;
    delete m_pDoc;
    m_pDoc = nullptr;
}

// The file holds the calibration: it is replaced in one rename so that a
// crash or power cut during the write leaves either the old or the new file,
// never a truncated one.
bool CConfigXML::WriteReplacing(const char* path) const
{
    XMLPrinter printer;
    m_pDoc->Print(&printer);
    const char* text = printer.CStr();
    size_t len = (size_t)printer.CStrSize();
    if (len > 0 && text[len - 1] == '\0')
        --len;
    // The parser accepts some damage that its printer then writes in a form
    // it no longer accepts (text after the root element ended by a stray
    // closing tag): such a save would lose every setting. The file keeps
    // what it has instead.
    XMLDocument check;
    if (check.Parse(text, len) != XML_SUCCESS || !check.RootElement())
        return false;

    std::string tmp = std::string(path) + ".XXXXXX";
    std::vector<char> tmpl(tmp.begin(), tmp.end());
    tmpl.push_back('\0');
    int fd = mkstemp(tmpl.data());
    if (fd < 0)
        return false;
    struct stat st;
    if (stat(path, &st) == 0)
        fchmod(fd, st.st_mode & 07777);
    else
        fchmod(fd, 0644);
    bool ok = WriteAll(fd, text, len) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok)
        ok = rename(tmpl.data(), path) == 0;
    if (!ok) {
        unlink(tmpl.data());
        return false;
    }
    // Make the rename itself durable.
    std::string dir(path);
    size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : dir.substr(0, slash ? slash : 1);
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return true;
}

bool CConfigXML::Save()
{
    std::lock_guard<std::mutex> guard(ConfigMutex());
    if (!m_bLoaded || !m_pDoc || !m_pPath)
        return false;
    return WriteReplacing(m_pPath);
}

XMLElement* CConfigXML::FindElement(const char* section, const char* element) const
{
    if (!section || !element || !*section || !*element || !m_bLoaded || !m_pDoc)
        return nullptr;
    XMLElement* root = m_pDoc->FirstChildElement();
    if (!root)
        return nullptr;
    XMLElement* sec = root->FirstChildElement(section);
    return sec ? sec->FirstChildElement(element) : nullptr;
}

bool CConfigXML::GetInt(const char* section, const char* element, const char* attribute,
                        int* pValue, int nDefault) const
{
    XMLElement* el = FindElement(section, element);
    if (!el) {
        *pValue = nDefault;
        return false;
    }
    int v;
    if (attribute && ScanInt(el->Attribute(attribute), &v))
        *pValue = v;
    return true;
}

bool CConfigXML::GetStr(const char* section, const char* element, const char* attribute,
                        char* pBuf, int nBufSize) const
{
    XMLElement* el = FindElement(section, element);
    const char* text = el && attribute ? el->Attribute(attribute) : nullptr;
    if (!text || nBufSize <= 0)
        return false;
    // Callers pass small fixed buffers; a longer value is cut, never overflows.
    snprintf(pBuf, (size_t)nBufSize, "%s", text);
    return true;
}

bool CConfigXML::SetStr(const char* section, const char* element, const char* attribute,
                        const char* text)
{
    XMLElement* el = FindElement(section, element);
    if (!el || !attribute || !*attribute)
        return false;
    el->SetAttribute(attribute, text ? text : "");
    return true;
}

bool CConfigXML::SetInt(const char* section, const char* element, const char* attribute, int n)
{
    char text[16];
    snprintf(text, sizeof text, "%d", n);
    return SetStr(section, element, attribute, text);
}

bool CConfigXML::GetPoints(const char* section, const char* element, const char* prefix,
                           int nCount, double* pXY) const
{
    XMLElement* el = FindElement(section, element);
    if (!el || !prefix)
        return false;
    for (int i = 0; i < nCount; ++i) {
        const char* text = el->Attribute(PointName(prefix, i).c_str());
        double x, y;
        if (text && sscanf(text, "(%lf,%lf)", &x, &y) == 2) {
            pXY[2 * i] = x;
            pXY[2 * i + 1] = y;
        }
    }
    return true;
}

bool CConfigXML::SetPoints(const char* section, const char* element, const char* prefix,
                           int nCount, const double* pXY)
{
    XMLElement* el = FindElement(section, element);
    if (!el || !prefix)
        return false;
    for (int i = 0; i < nCount; ++i) {
        char text[96];
        snprintf(text, sizeof text, "(%lf,%lf)", pXY[2 * i], pXY[2 * i + 1]);
        el->SetAttribute(PointName(prefix, i).c_str(), text);
    }
    return true;
}
