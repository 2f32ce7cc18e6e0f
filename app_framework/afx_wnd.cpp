// CWnd, CMenu and CRichEditCtrl operations that are more than one call.
#include "afx_wnd.h"

// The shared wrapper that FromHandle hands out; it never owns the menu it names.
static CMenu g_temporaryMenu;

CMenu* CMenu::FromHandle(HMENU hMenu)
{
    if (!hMenu)
        return NULL;
    g_temporaryMenu.m_hMenu = hMenu;
    return &g_temporaryMenu;
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert)
{
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    HWND hwnd = m_hWnd;
    m_hWnd = NULL;
    return ::DestroyWindow(hwnd);
}

BOOL CWnd::PaintMinimisedIcon(HICON icon)
{
    if (!IsIconic())
        return FALSE;
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    // Signed division, truncating toward zero.
    int x = (rect.right - rect.left - cxIcon + 1) / 2;
    int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    ::DrawIcon(dc.GetSafeHdc(), x, y, icon);
    return TRUE;
}

void CRichEditCtrl::SetSel(long start, long end)
{
    CHARRANGE range;
    range.cpMin = start;
    range.cpMax = end;
    ::SendMessageA(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}
