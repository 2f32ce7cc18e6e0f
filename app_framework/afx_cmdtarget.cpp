// Message-map lookup: a class's table first, then its bases' tables.
#include "afx_msgmap.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0}};
    static const AFX_MSGMAP map = {0, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

static const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* map, UINT message, UINT code, UINT id)
{
    for (; map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : 0) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfn; ++entry) {
            if (entry->nMessage != message)
                continue;
            if (message == WM_COMMAND && (entry->nCode != code || entry->nID != id))
                continue;
            return entry;
        }
    }
    return 0;
}

BOOL CCmdTarget::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const AFX_MSGMAP_ENTRY* entry;
    if (message == WM_COMMAND)
        entry = FindEntry(GetMessageMap(), message, HIWORD(wParam), LOWORD(wParam));
    else
        entry = FindEntry(GetMessageMap(), message, 0, 0);
    if (!entry)
        return FALSE;
    *result = entry->pfn(this, wParam, lParam);
    return TRUE;
}

BOOL CCmdTarget::OnCmdMsg(UINT id, UINT code)
{
    const AFX_MSGMAP_ENTRY* entry = FindEntry(GetMessageMap(), WM_COMMAND, code, id);
    if (!entry)
        return FALSE;
    entry->pfn(this, MAKEWPARAM(id, code), 0);
    return TRUE;
}
