// Access to the service's settings file: every value is addressed by a
// section (child of the root), an element (child of the section) and an
// attribute of that element.
#pragma once

namespace tinyxml2 { class XMLDocument; class XMLElement; }

#define ZT_CONFIG_FILE "Config/config.xml"

class CConfigXML {
public:
    CConfigXML();
    ~CConfigXML();
    CConfigXML(const CConfigXML&) = delete;
    CConfigXML& operator=(const CConfigXML&) = delete;

    bool Load(const char* path);
    void Close();
    // Returns whether the file was replaced; callers of the service ignore it.
    bool Save();
    bool IsLoaded() const { return m_bLoaded; }

    tinyxml2::XMLElement* FindElement(const char* section, const char* element) const;

    bool GetInt(const char* section, const char* element, const char* attribute,
                int* pValue, int nDefault) const;
    bool GetStr(const char* section, const char* element, const char* attribute,
                char* pBuf, int nBufSize = 20) const;
    bool SetStr(const char* section, const char* element, const char* attribute,
                const char* text);
    bool SetInt(const char* section, const char* element, const char* attribute, int n);
    bool GetPoints(const char* section, const char* element, const char* prefix,
                   int nCount, double* pXY) const;
    bool SetPoints(const char* section, const char* element, const char* prefix,
                   int nCount, const double* pXY);

    // Attempts and pause of Load; a rewrite by a companion program can hold the
    // file for a moment.
    static constexpr int kLoadAttempts = 15;
    static constexpr int kLoadPauseMs = 20;
    // Files larger than this are refused: the real file is a few kilobytes and
    // a huge one would stall every reader while it is parsed.
    static constexpr long kMaxFileSize = 4L * 1024 * 1024;

private:
    bool LoadOnce(const char* path);
    bool WriteReplacing(const char* path) const;

    tinyxml2::XMLDocument* m_pDoc;
    bool m_bLoaded;
    char* m_pPath;
};
