// CString: a narrow string on its own heap buffer, with resource-string loading.
#pragma once

#include <windows.h>

class CString {
public:
    CString();
    CString(LPCSTR text);
    CString(const CString& other);
    ~CString();

    // Loads string resource id from the program's resources; FALSE (and empty) when missing.
    BOOL LoadString(UINT id);

    BOOL IsEmpty() const { return m_length == 0; }
    operator LPCSTR() const { return m_text; }

private:
    CString& operator=(const CString&) = delete;
    void Assign(LPCSTR text, int length);

    char* m_text;  // heap buffer, or the shared empty text when m_capacity is 0
    int m_length;
    int m_capacity;
};
