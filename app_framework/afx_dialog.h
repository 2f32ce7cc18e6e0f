// CDialog (modal and modeless dialogs from templates), CDataExchange and DDX_Control.
#pragma once

#include <windows.h>
#include "afx_wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog)
    {
    }
    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
};

// Binds control to the dialog's child window nIDC (once; later calls keep the first binding).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& control);

class CDialog : public CWnd {
public:
    CDialog();  // for Create(templateId, parent)
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    ~CDialog() override;  // destroys a window still open

    // Runs the dialog modally with its owner disabled. Returns the EndDialog value, or -1 when
    // the window could not be created or a quit message ended the run (the quit message is
    // posted again, so that the caller's loop and the program's exit code see it).
    virtual INT_PTR DoModal();
    // Creates the dialog modeless, owned by pParentWnd (or the main window when NULL).
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = NULL);

    virtual BOOL OnInitDialog();  // binds the controls (UpdateData(FALSE)); TRUE
    virtual void OnOK();          // UpdateData(TRUE), then EndDialog(IDOK)
    virtual void OnCancel();      // EndDialog(IDCANCEL)
    void EndDialog(int nResult);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND OwnerWindow(CWnd* pParentWnd) const;

    BOOL m_bInModal;
    BOOL m_bEndModal;
    INT_PTR m_nModalResult;
};

// The status window of a run: a plain modeless dialog of one text line, owned by the (hidden) main
// dialog. The run blocks the GUI thread, so each new text is painted at once and the messages
// other threads and processes send meanwhile are answered (a screen reader or a test tool reads the
// line with WM_GETTEXT).
class CStatusWindow : public CDialog {
public:
    CStatusWindow(UINT nIDTemplate, int nIDText) : m_nIDText(nIDText)
    {
        m_nIDTemplate = nIDTemplate;
    }

    // Creates the window owned by pParentWnd and shows it.
    BOOL Show(CWnd* pParentWnd);
    void SetText(LPCSTR text);
    void Hide() { ShowWindow(SW_HIDE); }

private:
    int m_nIDText;
};

// For work that keeps the GUI thread busy between its steps: answers the messages sent to the
// thread's windows and repaints those that need it, so that none of them stops answering. Posted
// messages stay queued.
void AfxKeepAnswering();

// Waits milliseconds like Sleep, but answers messages sent to the thread's windows meanwhile,
// so that a run's pauses never leave its status line unreadable. Posted messages stay queued.
void AfxPause(DWORD milliseconds);
