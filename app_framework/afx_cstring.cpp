// CString on the process heap. An allocation failure leaves the string empty; nothing throws.
#include "afx_cstring.h"
#include "afx_winapp.h"

#include <string.h>

static char g_emptyText[1] = {'\0'};

CString::CString() : m_text(g_emptyText), m_length(0), m_capacity(0) {}

CString::CString(LPCSTR text) : m_text(g_emptyText), m_length(0), m_capacity(0)
{
    if (text)
        Assign(text, static_cast<int>(strlen(text)));
}

CString::CString(const CString& other) : m_text(g_emptyText), m_length(0), m_capacity(0)
{
    Assign(other.m_text, other.m_length);
}

CString::~CString()
{
    if (m_capacity)
        ::HeapFree(::GetProcessHeap(), 0, m_text);
}

void CString::Assign(LPCSTR text, int length)
{
    if (length == 0 && m_capacity == 0)
        return;  // already the shared empty text
    if (length >= m_capacity) {
        char* grown = static_cast<char*>(::HeapAlloc(::GetProcessHeap(), 0, length + 1));
        if (!grown) {
            if (m_capacity)
                ::HeapFree(::GetProcessHeap(), 0, m_text);
            m_text = g_emptyText;
            m_length = 0;
            m_capacity = 0;
            return;
        }
        // text may point into the old buffer only when it is shorter, so the old one can go.
        if (m_capacity)
            ::HeapFree(::GetProcessHeap(), 0, m_text);
        m_text = grown;
        m_capacity = length + 1;
    }
    memmove(m_text, text, length);
    m_text[length] = '\0';
    m_length = length;
}

BOOL CString::LoadString(UINT id)
{
    char buffer[256];
    int length = ::LoadStringA(AfxGetResourceHandle(), id, buffer, sizeof buffer);
    if (length <= 0) {
        Assign("", 0);
        return FALSE;
    }
    Assign(buffer, length);
    return TRUE;
}
