// CCmdTarget and the static message maps: per class a table of {message, code, id, handler}.
#pragma once

#include <windows.h>

class CCmdTarget;

// A handler entry calls the member function through a small typed adaptor, so a table row
// stays constant data and the handler's signature is checked when the map is compiled.
typedef LRESULT (*AFX_PMSG)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // window message, or WM_COMMAND for commands and control notifications
    UINT nCode;     // notification code for WM_COMMAND (BN_CLICKED, 0 for menu commands)
    UINT nID;       // control or command id for WM_COMMAND, 0 otherwise
    AFX_PMSG pfn;   // 0 ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() {}

    // Looks the message up in this object's map and its bases'; runs the handler and stores
    // its result when one is found.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Runs the handler of a command id (WM_COMMAND with that id and code), if the map has one.
    BOOL OnCmdMsg(UINT id, UINT code);

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

protected:
    CCmdTarget() {}

private:
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
};

template <class T, auto F>
LRESULT AfxCall_v(CCmdTarget* t, WPARAM, LPARAM)
{
    (static_cast<T*>(t)->*F)();
    return 0;
}
template <class T, auto F>
LRESULT AfxCall_vwl(CCmdTarget* t, WPARAM w, LPARAM l)
{
    (static_cast<T*>(t)->*F)(static_cast<UINT>(w), l);
    return 0;
}
template <class T, auto F>
LRESULT AfxCall_h(CCmdTarget* t, WPARAM, LPARAM)
{
    return reinterpret_cast<LRESULT>((static_cast<T*>(t)->*F)());
}

#define DECLARE_MESSAGE_MAP()                                                                      \
protected:                                                                                         \
    static const AFX_MSGMAP* GetThisMessageMap();                                                  \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const                                              \
    {                                                                                              \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                                \
    {                                                                                              \
        using ThisClass [[maybe_unused]] = theClass;                                               \
        typedef baseClass TheBaseClass;                                                            \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                          \
    {                                                                                              \
        0, 0, 0, 0                                                                                 \
    }                                                                                              \
    }                                                                                              \
    ;                                                                                              \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};  \
    return &messageMap;                                                                            \
    }

// void OnPaint()
#define ON_WM_PAINT() {WM_PAINT, 0, 0, &AfxCall_v<ThisClass, &ThisClass::OnPaint>},
// void OnSysCommand(UINT nID, LPARAM lParam)
#define ON_WM_SYSCOMMAND() {WM_SYSCOMMAND, 0, 0, &AfxCall_vwl<ThisClass, &ThisClass::OnSysCommand>},
// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON()                                                                      \
    {WM_QUERYDRAGICON, 0, 0, &AfxCall_h<ThisClass, &ThisClass::OnQueryDragIcon>},
// void handler() for a click of button id; memberFxn is written &CClass::OnSomething
#define ON_BN_CLICKED(id, memberFxn)                                                               \
    {WM_COMMAND, BN_CLICKED, (UINT)(id), &AfxCall_v<ThisClass, memberFxn>},
// void handler() for command id (menu, accelerator, or a click: BN_CLICKED is 0)
#define ON_COMMAND(id, memberFxn) {WM_COMMAND, 0, (UINT)(id), &AfxCall_v<ThisClass, memberFxn>},
