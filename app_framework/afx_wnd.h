// CWnd and the control, menu and paint-context wrappers: thin owners of one window handle each.
#pragma once

#include <windows.h>
#include <richedit.h>
#include "afx_msgmap.h"

class CMenu {
public:
    constexpr CMenu() : m_hMenu(NULL) {}
    HMENU m_hMenu;

    // A wrapper of a menu the caller does not own. The object is shared and valid until the
    // next call; the menu handle itself is never destroyed by it.
    static CMenu* FromHandle(HMENU hMenu);
    BOOL AppendMenu(UINT flags, UINT_PTR idNewItem = 0, LPCSTR newItem = NULL)
    {
        return ::AppendMenuA(m_hMenu, flags, idNewItem, newItem);
    }
};

class CWnd : public CCmdTarget {
public:
    CWnd() : m_hWnd(NULL), m_bDefaultRequested(FALSE) {}
    ~CWnd() override {}

    HWND m_hWnd;

    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void SetWindowText(LPCSTR text) { ::SetWindowTextA(m_hWnd, text); }
    int GetWindowText(LPSTR buffer, int maxCount) const
    {
        return ::GetWindowTextA(m_hWnd, buffer, maxCount);
    }
    void SetDlgItemText(int id, LPCSTR text) { ::SetDlgItemTextA(m_hWnd, id, text); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    // The window's system menu (a shared wrapper, see CMenu::FromHandle); NULL if it has none.
    CMenu* GetSystemMenu(BOOL bRevert);
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    BOOL RedrawWindow(const RECT* updateRect = NULL, HRGN updateRegion = NULL,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE)
    {
        return ::RedrawWindow(m_hWnd, updateRect, updateRegion, flags);
    }
    int MessageBox(LPCSTR text, LPCSTR caption = NULL, UINT type = MB_OK)
    {
        return ::MessageBoxA(m_hWnd, text, caption, type);
    }
    BOOL DestroyWindow();

    // WM_PAINT of a dialog that shows its icon while minimised: draws icon centred in the client
    // area and returns TRUE when the window is minimised; FALSE (nothing painted) otherwise.
    BOOL PaintMinimisedIcon(HICON icon);

    // Leaves the message being handled to the window's default processing (for a dialog, the
    // dialog manager's) once the handler returns.
    LRESULT Default()
    {
        m_bDefaultRequested = TRUE;
        return 0;
    }

protected:
    BOOL m_bDefaultRequested;
};

class CButton : public CWnd {};

class CEdit : public CWnd {};

class CStatic : public CWnd {};

class CRichEditCtrl : public CWnd {
public:
    // Selects characters start to end; a position past the end means the end.
    void SetSel(long start, long end);
    // Raises the control's text limit (rich edit's default is 32,767 characters).
    void LimitText(long maxChars) { ::SendMessageA(m_hWnd, EM_EXLIMITTEXT, 0, maxChars); }
};

// Owns one BeginPaint/EndPaint pair for a window.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* wnd) : m_hWndPaint(wnd->m_hWnd)
    {
        m_hDC = ::BeginPaint(m_hWndPaint, &m_ps);
    }
    ~CPaintDC() { ::EndPaint(m_hWndPaint, &m_ps); }
    HDC GetSafeHdc() const { return m_hDC; }

    HDC m_hDC;
    PAINTSTRUCT m_ps;

private:
    HWND m_hWndPaint;
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
};
