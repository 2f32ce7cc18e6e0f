// CWinApp, the program entry WinMain, the rich edit library, and the heap operators that keep
// the C++ runtime's exception machinery out of the programs.
#include "afx_winapp.h"
#include "bounded_text.h"

#include <string.h>
#include <new>

static CWinApp* g_app;      // the one application object, set by its constructor
static HMODULE g_richEdit;  // the rich edit library once AfxInitRichEdit has loaded it

CWinApp::CWinApp() : m_pMainWnd(NULL), m_hInstance(NULL)
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = NULL;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    for (;;) {
        BOOL got = ::GetMessageA(&msg, NULL, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got == -1)
            return -1;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

INT_PTR CWinApp::RunMainDialog(CDialog& dialog)
{
    m_pMainWnd = &dialog;
    INT_PTR result = dialog.DoModal();
    m_pMainWnd = NULL;
    return result;
}

BOOL CWinApp::RefuseToStart(LPCSTR text, int exitCode)
{
    ::MessageBoxA(NULL, text, "Error", MB_OK);
    ::PostQuitMessage(exitCode);
    return FALSE;
}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
}

// Opens the contents of the program's help file: the program path with the extension .HLP.
void CWinApp::OnHelp()
{
    char helpPath[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(m_hInstance, helpPath, sizeof helpPath);
    if (length == 0 || length >= sizeof helpPath)
        return;
    helpPath[length] = '\0';
    char* dot = strrchr(helpPath, '.');
    char* slash = strrchr(helpPath, '\\');
    if (dot && (!slash || dot > slash))
        *dot = '\0';
    char program[MAX_PATH];
    if (!CopyText(program, sizeof program, helpPath) ||
        !JoinText(helpPath, sizeof helpPath, program, ".HLP"))
        return;
    HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : NULL;
    // Looked up in the already loaded user32 rather than imported: the programs' import list is
    // kept to what Windows 95 and NT 4.0 are known to export.
    typedef BOOL(WINAPI * WinHelpFunction)(HWND, LPCSTR, UINT, ULONG_PTR);
    HMODULE user32 = ::GetModuleHandleA("user32.dll");
    FARPROC found = user32 ? ::GetProcAddress(user32, "WinHelpA") : NULL;
    if (found)
        reinterpret_cast<WinHelpFunction>(reinterpret_cast<void (*)()>(found))(owner, helpPath,
                                                                               HELP_FINDER, 0);
}

CWinApp* AfxGetApp()
{
    return g_app;
}

CWnd* AfxGetMainWnd()
{
    return g_app ? g_app->m_pMainWnd : NULL;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_app && g_app->m_hInstance ? g_app->m_hInstance : ::GetModuleHandleA(NULL);
}

HINSTANCE AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

HMODULE AfxLoadSystemLibrary(LPCSTR fileName)
{
    char path[MAX_PATH];
    UINT length = ::GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return NULL;
    // A system directory at the root of a drive already ends in a backslash.
    if (path[length - 1] != '\\') {
        if (length + 1 >= sizeof path)
            return NULL;
        path[length++] = '\\';
        path[length] = '\0';
    }
    if (!CopyText(path + length, sizeof path - length, fileName))
        return NULL;
    // The altered search path makes the library's own imports (riched32 imports riched20 on
    // Windows 2000/XP) come from its folder, never from the program's folder.
    return ::LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

BOOL AfxInitRichEdit()
{
    if (!g_richEdit)
        g_richEdit = AfxLoadSystemLibrary("riched32.dll");
    return g_richEdit != NULL;
}

// An elevated program must not load DLLs from the current directory: SetDllDirectoryA("") takes it
// off the search path. Windows XP SP1 and later export it; older systems are looked up at run
// time and skipped.
static void RemoveCurrentDirectoryFromDllSearch()
{
    typedef BOOL(WINAPI * SetDllDirectoryFunction)(LPCSTR);
    HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
    FARPROC found = kernel32 ? ::GetProcAddress(kernel32, "SetDllDirectoryA") : NULL;
    if (found)
        reinterpret_cast<SetDllDirectoryFunction>(reinterpret_cast<void (*)()>(found))("");
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    RemoveCurrentDirectoryFromDllSearch();
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->m_hInstance = hInstance;

    int exitCode = 0;
    if (app->InitInstance()) {
        exitCode = app->Run();
    } else {
        // The program ends now; a quit message left posted decides its exit code.
        MSG msg;
        if (::PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE))
            exitCode = static_cast<int>(msg.wParam);
    }

    if (g_richEdit) {
        ::FreeLibrary(g_richEdit);
        g_richEdit = NULL;
    }
    return exitCode;
}

// The process entry. The MinGW start-up code is left out: built for the i686, it uses
// instructions (cmov) that a Pentium lacks, and the programs need none of its services. The C
// runtime DLL initialises itself; here the global constructors run first, and the destructors
// they register run, last registered first, when WinMain has returned.
namespace {

typedef void(__cdecl* ExitFunction)(void);
ExitFunction g_exitFunctions[32];
int g_exitFunctionCount;

}  // namespace

// The global constructors register their destructors here (and so do function-local statics).
extern "C" int __cdecl atexit(ExitFunction function)
{
    if (g_exitFunctionCount == static_cast<int>(sizeof g_exitFunctions / sizeof g_exitFunctions[0]))
        return -1;
    g_exitFunctions[g_exitFunctionCount++] = function;
    return 0;
}

// The linker's lists of the global constructors and destructors: each a -1, the functions, a NULL.
// As GCC's __main (left out with its unwind tables) does: the constructors last first; at the end
// the listed destructors, then the registered ones.
extern "C" ExitFunction __CTOR_LIST__[];
extern "C" ExitFunction __DTOR_LIST__[];

// Only the linker names the entry, and it does not tell the link-time optimiser so: visible from
// outside, lest the optimiser drop it and leave the image without an entry point.
extern "C" __attribute__((force_align_arg_pointer, externally_visible)) void WinMainCRTStartup()
{
    int constructors = 0;
    while (__CTOR_LIST__[constructors + 1] != NULL)
        ++constructors;
    for (; constructors > 0; --constructors)
        __CTOR_LIST__[constructors]();
    static char emptyCommandLine[1];
    int exitCode = WinMain(::GetModuleHandleA(NULL), NULL, emptyCommandLine, SW_SHOWDEFAULT);
    for (ExitFunction* destructor = __DTOR_LIST__ + 1; *destructor != NULL; ++destructor)
        (*destructor)();
    while (g_exitFunctionCount > 0)
        g_exitFunctions[--g_exitFunctionCount]();
    ::ExitProcess(static_cast<UINT>(exitCode));
}

// Heap operators: a failed allocation yields NULL (the programs are built without exceptions
// and check what they allocate).
void* operator new(size_t size)
{
    return ::HeapAlloc(::GetProcessHeap(), 0, size ? size : 1);
}

void* operator new[](size_t size)
{
    return ::HeapAlloc(::GetProcessHeap(), 0, size ? size : 1);
}

void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return ::HeapAlloc(::GetProcessHeap(), 0, size ? size : 1);
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return ::HeapAlloc(::GetProcessHeap(), 0, size ? size : 1);
}

void operator delete(void* p) noexcept
{
    if (p)
        ::HeapFree(::GetProcessHeap(), 0, p);
}

void operator delete[](void* p) noexcept
{
    if (p)
        ::HeapFree(::GetProcessHeap(), 0, p);
}

void operator delete(void* p, size_t) noexcept
{
    if (p)
        ::HeapFree(::GetProcessHeap(), 0, p);
}

void operator delete[](void* p, size_t) noexcept
{
    if (p)
        ::HeapFree(::GetProcessHeap(), 0, p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept
{
    if (p)
        ::HeapFree(::GetProcessHeap(), 0, p);
}

// A pure virtual call can only come from a broken object; end the process.
extern "C" void __cxa_pure_virtual()
{
    ::ExitProcess(3);
}
