// CDialog: creation from templates, the modal loop, and the dialog procedure that attaches the
// C++ object to its window and routes messages through the message maps.
#include "afx_dialog.h"
#include "afx_winapp.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& control)
{
    if (!control.m_hWnd)
        control.m_hWnd = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
}

CDialog::CDialog()
    : m_nIDTemplate(0), m_pParentWnd(NULL), m_bInModal(FALSE), m_bEndModal(FALSE),
      m_nModalResult(-1)
{
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd), m_bInModal(FALSE), m_bEndModal(FALSE),
      m_nModalResult(-1)
{
}

CDialog::~CDialog()
{
    DestroyWindow();
}

HWND CDialog::OwnerWindow(CWnd* pParentWnd) const
{
    if (pParentWnd)
        return pParentWnd->m_hWnd;
    // Without a parent the application's main window owns the dialog, unless this is it.
    CWnd* main = AfxGetMainWnd();
    if (main && main != this && main->m_hWnd && ::IsWindow(main->m_hWnd))
        return main->m_hWnd;
    return NULL;
}

INT_PTR CDialog::DoModal()
{
    HWND owner = OwnerWindow(m_pParentWnd);
    BOOL ownerDisabled = FALSE;
    if (owner && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        ownerDisabled = TRUE;
    }

    m_bInModal = TRUE;
    m_bEndModal = FALSE;
    m_nModalResult = -1;
    HWND hwnd = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), owner,
                                     DialogProc, reinterpret_cast<LPARAM>(this));
    if (hwnd) {
        if (!m_bEndModal && !::IsWindowVisible(hwnd))
            ::ShowWindow(hwnd, SW_SHOWNORMAL);
        MSG msg;
        while (!m_bEndModal) {
            BOOL got = ::GetMessageA(&msg, NULL, 0, 0);
            if (got == 0) {
                // A quit message ends the modal run; post it again so that the code that
                // called DoModal, and finally WinMain, see it too.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                m_nModalResult = -1;
                break;
            }
            if (got == -1)
                break;
            if (!m_hWnd || !::IsDialogMessageA(m_hWnd, &msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
    }

    // Give the owner back its input before the dialog goes, so that the system activates it.
    if (ownerDisabled)
        ::EnableWindow(owner, TRUE);
    DestroyWindow();
    m_bInModal = FALSE;
    return m_nModalResult;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    m_nIDTemplate = nIDTemplate;
    m_pParentWnd = pParentWnd;
    m_bInModal = FALSE;
    HWND hwnd =
        ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDTemplate),
                             OwnerWindow(pParentWnd), DialogProc, reinterpret_cast<LPARAM>(this));
    return hwnd != NULL;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult)
{
    if (m_bInModal) {
        m_nModalResult = nResult;
        m_bEndModal = TRUE;
        // Wake the modal loop in case no other message is waiting.
        if (m_hWnd)
            ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
    } else if (m_hWnd) {
        ::ShowWindow(m_hWnd, SW_HIDE);
    }
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        // The object comes as the creation parameter and is attached to the window once.
        CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        dialog->m_hWnd = hwnd;
        return dialog->OnInitDialog();
    }

    CDialog* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!dialog)
        return FALSE;  // messages before WM_INITDIALOG (WM_SETFONT) and after WM_NCDESTROY
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        dialog->m_hWnd = NULL;
        return FALSE;
    }

    // CreateDialogParam shows a dialog whose template is visible after WM_INITDIALOG, even
    // when OnInitDialog hid it; a modal run that already ended there must never show.
    if (message == WM_WINDOWPOSCHANGING && dialog->m_bInModal && dialog->m_bEndModal)
        reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;

    // A handler may run nested message loops (a modal box) that dispatch to this dialog again;
    // each level keeps its own request for default processing.
    BOOL outerDefault = dialog->m_bDefaultRequested;
    dialog->m_bDefaultRequested = FALSE;
    LRESULT result = 0;
    BOOL handled = dialog->OnWndMsg(message, wParam, lParam, &result);
    if (!handled && message == WM_COMMAND) {
        // Commands the dialog does not handle go on to the application's command map.
        CWinApp* app = AfxGetApp();
        if (app)
            handled = app->OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
    }
    BOOL wantsDefault = dialog->m_bDefaultRequested;
    dialog->m_bDefaultRequested = outerDefault;

    if (!handled || wantsDefault)
        return FALSE;  // the dialog manager does the default processing
    switch (message) {
    // These messages take the dialog procedure's return value itself as their result.
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        return static_cast<INT_PTR>(result);
    default:
        ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

BOOL CStatusWindow::Show(CWnd* pParentWnd)
{
    if (!Create(m_nIDTemplate, pParentWnd))
        return FALSE;
    ShowWindow(SW_SHOW);
    return TRUE;
}

void CStatusWindow::SetText(LPCSTR text)
{
    SetDlgItemText(m_nIDText, text);
    RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    // Looking at the queue delivers the messages sent to us (Wine's X11 driver also sends its
    // drawing out only then); PM_NOREMOVE leaves posted ones for the modal loop.
    MSG msg;
    ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
}

void AfxKeepAnswering()
{
    // Any look at the queue answers the sent messages first; a paint is handed out one at a time.
    MSG msg;
    if (::PeekMessageA(&msg, NULL, WM_PAINT, WM_PAINT, PM_REMOVE))
        ::DispatchMessageA(&msg);
}

void AfxPause(DWORD milliseconds)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= milliseconds)
            return;
        // Wakes for sent messages only; the peek hands them to their windows.
        if (::MsgWaitForMultipleObjects(0, NULL, FALSE, milliseconds - elapsed, QS_SENDMESSAGE) ==
            WAIT_OBJECT_0) {
            MSG msg;
            ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
        }
    }
}
