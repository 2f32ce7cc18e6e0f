// guictl: drives the dialogs of another program like a user, for the Wine scenarios and the demo
// autopilot. It runs under Wine in the same prefix as the program under test, finds that
// program's dialogs by caption, reads their controls and presses their buttons.
//
// Usage: guictl COMMAND [ARG...]...  or  guictl -f SCRIPT (words as on a command line; "..."
// groups, \" inside quotes is a quote, a word starting with # comments out the rest of its line).
// Each command prints one line, "ok ..." or "FAIL ..."; the first failure ends the run with exit
// code 1 after the list of visible dialogs, a usage error gives 2, success 0. The commands are
// the table kCommands below.
//
// Most commands act on the selected window, chosen by the last wait. A dialog is a visible
// top-level window of class "#32770"; a message box is a dialog holding the static text 0xFFFF.
// ID is a control id, decimal or 0x hex; -1 is 0xFFFF (a message box's text); "." is the
// selected window itself. A TEXT preceded by the word -e has its escapes decoded first:
// \r \n \t \\ \xHH; without -e it is taken as it is (paths keep their backslashes). MS is
// optional and defaults to the time-out set by "timeout" (10000 at start).
#include <windows.h>
#include <commctrl.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const DWORD kPollMs = 50;
const UINT kSendTimeoutMs = 5000;
const UINT kClickTimeoutMs = 1000;
const int kMaxArgs = 4096;
const int kCaptionSize = 512;

DWORD g_timeoutMs = 10000;
HWND g_window = NULL;
const char* g_failOn = NULL;
// The control named by the ID argument of the command running, and its id.
HWND g_control = NULL;
int g_id = 0;

// Prints one line; true, so that a command can end with its "ok" line.
bool Line(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    putchar('\n');
    fflush(stdout);
    return true;
}

// Control characters and the letters of their escapes; the backslash itself (decoded only).
const char kEscapes[] = "\rr\nn\tt\\\\";

// Writes text into out with control characters escaped, so that it stays on one line; a text
// that does not fit ends in "...".
void Escape(const char* text, char* out, size_t size)
{
    size_t n = 0;
    const unsigned char* p = (const unsigned char*)text;
    for (; *p && n + 8 < size; ++p) {
        const char* escape = *p < 0x20 ? strchr(kEscapes, *p) : NULL;
        if (escape)
            n += snprintf(out + n, size - n, "\\%c", escape[1]);
        else if (*p < 0x20 || *p == 0x7F)
            n += snprintf(out + n, size - n, "\\x%02X", *p);
        else
            out[n++] = (char)*p;
    }
    if (*p)
        n += snprintf(out + n, size - n, "...");
    out[n] = '\0';
}

// Decodes \r \n \t \\ \xHH in place; other backslashes stay as they are.
void Unescape(char* text)
{
    char* out = text;
    for (const char* p = text; *p; ++p) {
        const char* escape = NULL;
        for (const char* e = kEscapes; *p == '\\' && p[1] && *e && !escape; e += 2)
            escape = e[1] == p[1] ? e : NULL;
        if (escape) {
            *out++ = *escape;
            ++p;
        } else if (*p == '\\' && p[1] == 'x' && p[2] && p[3]) {
            char hex[3] = {p[2], p[3], 0};
            *out++ = (char)strtoul(hex, NULL, 16);
            p += 3;
        } else {
            *out++ = *p;
        }
    }
    *out = '\0';
}

// Caption of a top-level window (of any process: the system keeps it, no message is sent).
void Caption(HWND window, char* out, int size)
{
    out[0] = '\0';
    GetWindowTextA(window, out, size);
}

bool IsDialog(HWND window)
{
    char cls[64];
    return IsWindowVisible(window) && GetClassNameA(window, cls, sizeof cls) &&
           strcmp(cls, "#32770") == 0;
}

bool IsMessageBox(HWND window)
{
    HWND text = GetDlgItem(window, 0xFFFF);
    char cls[64];
    return text && GetClassNameA(text, cls, sizeof cls) && lstrcmpiA(cls, "Static") == 0;
}

// kHasControl: a dialog holding the control whose id the caption field gives (decimal);
// kOther: any dialog but the selected window.
enum MatchMode { kExact, kPrefix, kMessageBox, kOwned, kHasControl, kOther };

struct Match {
    MatchMode mode;
    const char* caption;
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    Match* match = (Match*)param;
    if (!IsDialog(window))
        return TRUE;
    char caption[kCaptionSize];
    Caption(window, caption, sizeof caption);
    MatchMode mode = match->mode;
    const char* want = match->caption;
    bool hit = (mode == kExact && strcmp(caption, want) == 0) ||
               (mode == kMessageBox && strcmp(caption, want) == 0 && IsMessageBox(window)) ||
               (mode == kPrefix && strncmp(caption, want, strlen(want)) == 0) ||
               (mode == kOwned && GetWindow(window, GW_OWNER) == match->owner) ||
               (mode == kHasControl && GetDlgItem(window, atoi(want)) != NULL) ||
               (mode == kOther && window != g_window);
    if (hit)
        match->found = window;
    return !hit;
}

HWND FindDialog(MatchMode mode, const char* caption, HWND owner)
{
    Match match = {mode, caption, owner, NULL};
    EnumWindows(MatchWindow, (LPARAM)&match);
    return match.found;
}

// Gives up early, with NULL, when the message box with the caption failOn shows.
HWND WaitDialog(MatchMode mode, const char* caption, HWND owner, DWORD timeoutMs,
                const char* failOn = g_failOn)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = FindDialog(mode, caption, owner);
        if (found || GetTickCount() - start >= timeoutMs)
            return found;
        if (failOn && FindDialog(kMessageBox, failOn, NULL))
            return NULL;
        Sleep(kPollMs);
    }
}

// Reads a window's text through WM_GETTEXT, which the system carries across processes. The
// result is malloc'ed; NULL when the window does not answer.
char* ReadText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &length))
        return NULL;
    size_t size = length + 64;  // multi-byte text may need more than the count of characters
    char* text = (char*)calloc(size, 1);
    // One byte short of the buffer, so that it ends in a NUL whatever the window writes.
    if (text && !SendMessageTimeoutA(window, WM_GETTEXT, size - 1, (LPARAM)text, SMTO_NORMAL,
                                     kSendTimeoutMs, NULL)) {
        free(text);
        text = NULL;
    }
    return text;
}

BOOL CALLBACK ListWindow(HWND window, LPARAM)
{
    if (!IsDialog(window))
        return TRUE;
    char caption[kCaptionSize], shown[kCaptionSize];
    Caption(window, caption, sizeof caption);
    Escape(caption, shown, sizeof shown);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char text[kCaptionSize] = "";
    char* raw = IsMessageBox(window) ? ReadText(GetDlgItem(window, 0xFFFF)) : NULL;
    if (raw)
        Escape(raw, text, sizeof text);
    free(raw);
    Line("     dialog %p pid %04lx owner %p caption '%s'%s%s%s", (void*)window, pid,
         (void*)GetWindow(window, GW_OWNER), shown, text[0] ? " text '" : "", text,
         text[0] ? "'" : "");
    return TRUE;
}

void ListDialogs()
{
    Line("     visible dialogs:");
    EnumWindows(ListWindow, 0);
}

struct Args {
    int count;
    char** words;
    int next;

    const char* Peek() const { return next < count ? words[next] : NULL; }
    char* Take() { return next < count ? words[next++] : NULL; }
};

bool Fail(const char* format, ...)
{
    char message[4096];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    Line("FAIL %s", message);
    ListDialogs();
    return false;
}

bool UsageError(const char* command, const char* what)
{
    Line("usage error: %s: %s", command, what);
    exit(2);
    return false;
}

bool ParseNumber(const char* word, long* value)
{
    if (!word || !*word)
        return false;
    char* end = NULL;
    *value = strtol(word, &end, 0);
    return *end == '\0';
}

// An optional number of milliseconds; `absent` when the next word is not a number.
DWORD TakeTimeout(Args& args, DWORD absent = g_timeoutMs)
{
    long value = 0;
    if (!ParseNumber(args.Peek(), &value))
        return absent;
    args.Take();
    return (DWORD)value;
}

bool HaveWindow(const char* command)
{
    return (g_window && IsWindow(g_window)) ||
           Fail("%s: no window selected (or it is gone)", command);
}

// Control id argument into g_control and g_id: a number, -1 for 0xFFFF, or "." for the selected
// window itself.
bool TakeControl(Args& args, const char* command)
{
    const char* word = args.Take();
    if (!word)
        return UsageError(command, "control id missing");
    if (!HaveWindow(command))
        return false;
    g_control = g_window;
    g_id = 0;
    if (strcmp(word, ".") == 0)
        return true;
    long value = 0;
    if (!ParseNumber(word, &value))
        return UsageError(command, "control id is not a number");
    g_id = (int)(value & 0xFFFF);
    g_control = GetDlgItem(g_window, g_id);
    if (!g_control)
        return Fail("%s %s: the selected window has no control %d", command, word, g_id);
    return true;
}

int TakeFlag(Args& args, const char* command)
{
    const char* word = args.Take();
    if (!word || (strcmp(word, "0") && strcmp(word, "1")))
        UsageError(command, "expected 0 or 1");
    return word[0] == '1';
}

// TEXT argument, with escapes decoded when preceded by -e.
char* TakeText(Args& args, const char* command)
{
    bool escaped = args.Peek() && strcmp(args.Peek(), "-e") == 0;
    if (escaped)
        args.Take();
    char* text = args.Take();
    if (!text)
        UsageError(command, "text missing");
    if (escaped)
        Unescape(text);
    return text;
}

bool Select(HWND window, const char* command, const char* what, bool waitForAnswer)
{
    if (!window)
        return Fail("%s: no %s appeared%s%s%s", command, what, g_failOn ? " (or '" : "",
                    g_failOn ? g_failOn : "", g_failOn ? "' came first)" : "");
    g_window = window;
    // A window just shown may belong to a thread that has not yet entered its message loop (a
    // message box at the end of a long handler): wait until it answers. Not so a status window,
    // whose program may be busy with the run it reports on.
    if (waitForAnswer)
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, NULL);
    char caption[kCaptionSize], shown[kCaptionSize];
    Caption(window, caption, sizeof caption);
    Escape(caption, shown, sizeof shown);
    return Line("ok   %s: '%s'", command, shown);
}

// Shows at most kShown characters of text from offset on, escaped, with "..." where cut.
const size_t kShown = 160;

void Excerpt(const char* text, size_t offset, char* out, size_t size)
{
    char part[kShown + 1];
    snprintf(part, sizeof part, "%s", text + offset);
    char escaped[kShown * 4 + 16];
    Escape(part, escaped, sizeof escaped);
    snprintf(out, size, "%s%s%s", offset ? "..." : "", escaped,
             strlen(text + offset) > kShown ? "..." : "");
}

bool CompareText(const char* command, int id, const char* seen, const char* expected, char how)
{
    bool same = how == '='   ? strcmp(seen, expected) == 0
                : how == '^' ? strncmp(seen, expected, strlen(expected)) == 0
                             : strstr(seen, expected) != NULL;
    char seenShown[kShown * 4 + 32], expectedShown[kShown * 4 + 32];
    if (same) {
        Excerpt(seen, 0, seenShown, sizeof seenShown);
        return Line("ok   %s %d: '%s'%s", command, id, seenShown,
                    strlen(seen) > kShown ? " (the whole text matches)" : "");
    }
    // Long texts: show where they part.
    size_t at = 0;
    if (how != '~')
        while (seen[at] && seen[at] == expected[at])
            ++at;
    size_t from = at > 40 ? at - 40 : 0;
    Excerpt(seen, from, seenShown, sizeof seenShown);
    Excerpt(expected, from, expectedShown, sizeof expectedShown);
    const char* relation = how == '=' ? "" : how == '^' ? "beginning with " : "containing ";
    if (how == '~' || (strlen(seen) <= kShown && strlen(expected) <= kShown))
        return Fail("%s %d: expected %s'%s', seen '%s'", command, id, relation, expectedShown,
                    seenShown);
    return Fail("%s %d: expected %s%lu characters, seen %lu; they differ at offset %lu: "
                "expected '%s', seen '%s'",
                command, id, relation, (unsigned long)strlen(expected), (unsigned long)strlen(seen),
                (unsigned long)at, expectedShown, seenShown);
}

bool ExpectState(const char* command, int id, const char* what, int expected, int seen)
{
    if (expected == seen)
        return Line("ok   %s %d: %s %d", command, id, what, seen);
    return Fail("%s %d: expected %s %d, seen %d", command, id, what, expected, seen);
}

// The check box's state; a control that does not answer has none (not "unticked").
bool Checked(const char* command, int* checked)
{
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutA(g_control, BM_GETCHECK, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &state))
        return Fail("%s %d: the control does not answer BM_GETCHECK", command, g_id);
    *checked = state == BST_CHECKED;
    return true;
}

HWND FocusedWindow(HWND dialog)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, NULL), &info) ? info.hwndFocus : NULL;
}

// A user can press only what is shown and enabled.
bool Pressable(const char* command)
{
    if (!IsWindowVisible(g_control))
        return Fail("%s %d: the control is hidden", command, g_id);
    if (!IsWindowEnabled(g_control))
        return Fail("%s %d: the control is disabled", command, g_id);
    return true;
}

// A child window whose text is the match's caption.
BOOL CALLBACK SearchChild(HWND child, LPARAM param)
{
    Match* search = (Match*)param;
    char* text = ReadText(child);
    bool same = text && strcmp(text, search->caption) == 0;
    free(text);
    if (same)
        search->found = child;
    return !same;
}

// Sent with a time-out rather than posted, so that what the click's handler does (a new page)
// is done when the next command looks. The control's thread must answer first, so that a click
// that times out has been taken up by a handler that runs a modal loop (a message box, the
// installation run) and keeps running while this tool goes on.
bool Press(const char* command)
{
    if (!SendMessageTimeoutA(g_control, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, NULL))
        return Fail("%s %d: the program does not answer", command, g_id);
    SetLastError(0);
    if (!SendMessageTimeoutA(g_control, BM_CLICK, 0, 0, SMTO_NORMAL, kClickTimeoutMs, NULL) &&
        GetLastError() != ERROR_TIMEOUT)
        return Fail("%s %d: the click was not delivered (error %lu)", command, g_id,
                    GetLastError());
    return true;
}

// One command: its name, its handler, a mode for handlers that several commands share, and
// whether its first argument is a control ID (taken before the handler runs).
struct Command {
    const char* name;
    bool (*handler)(Args& args, const char* command, int mode);
    int mode;
    bool control = false;
};

// mode 0: set the default time-out; 1: sleep.
bool DoMilliseconds(Args& args, const char* command, int sleep)
{
    long value = 0;
    if (!ParseNumber(args.Take(), &value))
        return UsageError(command, "milliseconds expected");
    if (sleep)
        Sleep((DWORD)value);
    else
        g_timeoutMs = (DWORD)value;
    return Line(sleep ? "ok   %s %ld" : "ok   %s %lu", command, sleep ? value : (long)g_timeoutMs);
}

bool DoFailOn(Args& args, const char* command, int)
{
    g_failOn = args.Take();
    if (!g_failOn)
        return UsageError(command, "caption missing");
    return Line("ok   fail-on '%s'", g_failOn);
}

// Every wait for a dialog, by the MatchMode in mode (a control's id in place of the caption).
bool DoWait(Args& args, const char* command, int mode)
{
    static const char* const kWhat[] = {
        "dialog with caption '%s'", "dialog with caption beginning '%s'",
        "message box with caption '%s'", "dialog owned by the selected window%s",
        "dialog holding control %s"};
    const char* word = mode == kOwned ? "" : args.Take();
    long id = 0;
    if (!word || (mode == kHasControl && (!ParseNumber(word, &id) || id <= 0)))
        return UsageError(command, mode == kHasControl ? "control id expected" : "caption missing");
    DWORD timeoutMs = TakeTimeout(args);
    if (mode == kOwned && !g_window)
        return Fail("%s: no window selected", command);
    char what[kCaptionSize + 64];
    snprintf(what, sizeof what - 32, kWhat[mode], word);
    snprintf(what + strlen(what), 32, " within %lu ms", timeoutMs);
    return Select(WaitDialog((MatchMode)mode, word, g_window, timeoutMs), command, what,
                  mode != kHasControl);
}

bool DoAbsent(Args& args, const char* command, int)
{
    const char* caption = args.Take();
    if (!caption)
        return UsageError(command, "caption missing");
    long ms = (long)TakeTimeout(args, 0);
    if (WaitDialog(kExact, caption, NULL, (DWORD)ms, NULL))
        return Fail("absent: a dialog with caption '%s' is shown", caption);
    return Line("ok   absent '%s' (%ld ms)", caption, ms);
}

bool DoWaitGone(Args& args, const char* command, int hiddenIsEnough)
{
    DWORD timeoutMs = TakeTimeout(args);
    if (!g_window)
        return Fail("%s: no window selected", command);
    DWORD start = GetTickCount();
    while (IsWindow(g_window) && !(hiddenIsEnough && !IsWindowVisible(g_window))) {
        if (GetTickCount() - start >= timeoutMs)
            return Fail("%s: window %p still %s after %lu ms", command, (void*)g_window,
                        hiddenIsEnough ? "visible" : "there", timeoutMs);
        Sleep(kPollMs);
    }
    return Line("ok   %s", command);
}

bool DoExpectAlone(Args&, const char* command, int)
{
    if (!HaveWindow(command))
        return false;
    HWND other = FindDialog(kOther, NULL, NULL);
    if (other)
        return Fail("%s: another dialog is visible: %p", command, (void*)other);
    return Line("ok   expect-alone");
}

bool DoList(Args&, const char*, int)
{
    ListDialogs();
    return true;
}

// mode 0: print; '=' or '^': compare.
bool DoCaption(Args& args, const char* command, int how)
{
    const char* expected = how ? TakeText(args, command) : NULL;
    if (!HaveWindow(command))
        return false;
    char caption[kCaptionSize], shown[kCaptionSize];
    Caption(g_window, caption, sizeof caption);
    if (expected)
        return CompareText(command, 0, caption, expected, (char)how);
    Escape(caption, shown, sizeof shown);
    return Line("ok   caption '%s'", shown);
}

// The whole file, NUL-terminated (malloc'ed); NULL when it cannot be read.
char* ReadFileText(const char* path)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return NULL;
    fseek(file, 0, SEEK_END);
    long size = ftell(file);
    fseek(file, 0, SEEK_SET);
    char* text = size >= 0 ? (char*)calloc(size + 1, 1) : NULL;
    if (text && fread(text, 1, size, file) != (size_t)size) {
        free(text);
        text = NULL;
    }
    fclose(file);
    return text;
}

// mode 0: print; '=', '^', '~': compare with TEXT; 'f': compare with a file's text; 'w': wait
// until the text is TEXT (a control that does not answer shows "").
bool DoText(Args& args, const char* command, int how)
{
    char *expected = NULL, *fromFile = NULL;
    if (how == 'f') {
        const char* path = args.Take();
        if (!path)
            return UsageError(command, "file missing");
        expected = fromFile = ReadFileText(path);
        if (!fromFile)
            return Fail("%s: cannot read %s", command, path);
    } else if (how) {
        expected = TakeText(args, command);
    }
    DWORD timeoutMs = how == 'w' ? TakeTimeout(args) : 0, start = GetTickCount();
    char* seen = ReadText(g_control);
    while (how == 'w' && !(seen && strcmp(seen, expected) == 0) &&
           GetTickCount() - start < timeoutMs) {
        free(seen);
        Sleep(kPollMs);
        seen = ReadText(g_control);
    }
    bool ok = true;
    if (!seen && how != 'w') {
        ok = Fail("%s %d: the control does not answer WM_GETTEXT", command, g_id);
    } else if (expected) {
        char compare = how == 'f' || how == 'w' ? '=' : (char)how;
        ok = CompareText(command, g_id, seen ? seen : "", expected, compare);
    } else {
        size_t size = strlen(seen) * 4 + 16;
        char* shown = (char*)malloc(size);
        if (!shown) {
            ok = Fail("%s %d: out of memory", command, g_id);
        } else {
            Escape(seen, shown, size);
            Line("ok   text %d: '%s'", g_id, shown);
            free(shown);
        }
    }
    free(seen);
    free(fromFile);
    return ok;
}

bool DoExpectChildText(Args& args, const char* command, int)
{
    const char* expected = TakeText(args, command);
    if (!HaveWindow(command))
        return false;
    Match search = {kExact, expected, NULL, NULL};
    EnumChildWindows(g_window, SearchChild, (LPARAM)&search);
    if (!search.found)
        return Fail("%s: no control shows '%s'", command, expected);
    return Line("ok   %s: control %d shows '%s'", command, GetDlgCtrlID(search.found), expected);
}

bool DoTreeSelectRoot(Args&, const char* command, int)
{
    if (!HaveWindow(command))
        return false;
    HWND tree = FindWindowExA(g_window, NULL, WC_TREEVIEWA, NULL);
    if (!tree)
        return Fail("%s: the window has no tree view", command);
    DWORD_PTR root = 0, selected = 0;
    SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0, SMTO_NORMAL, kSendTimeoutMs, &root);
    if (!root)
        return Fail("%s: the tree view has no root item", command);
    SendMessageTimeoutA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)root, SMTO_NORMAL, kSendTimeoutMs,
                        &selected);
    if (!selected)
        return Fail("%s: the tree view refused to select its root item", command);
    return Line("ok   tree-select-root");
}

enum StateKind { kEnabled, kVisible, kChecked };

bool DoExpectState(Args& args, const char* command, int kind)
{
    int flag = TakeFlag(args, command), checked = 0;
    if (kind == kEnabled)
        return ExpectState(command, g_id, "enabled", flag, IsWindowEnabled(g_control) ? 1 : 0);
    if (kind == kVisible)
        return ExpectState(command, g_id, "visible", flag, IsWindowVisible(g_control) ? 1 : 0);
    return Checked(command, &checked) && ExpectState(command, g_id, "checked", flag, checked);
}

bool DoFocus(Args& args, const char* command, int compare)
{
    long expected = 0;
    if (compare && !ParseNumber(args.Take(), &expected))
        return UsageError(command, "control id expected");
    if (!HaveWindow(command))
        return false;
    HWND focus = FocusedWindow(g_window);
    int focusId = focus ? GetDlgCtrlID(focus) : -1;
    if (!compare)
        return Line("ok   focus %d", focusId);
    return ExpectState(command, (int)expected, "focus on control", (int)expected, focusId);
}

bool DoClick(Args&, const char* command, int)
{
    return Pressable(command) && Press(command) && Line("ok   click %d", g_id);
}

bool DoCheck(Args& args, const char* command, int)
{
    int flag = TakeFlag(args, command), checked = 0;
    if (!Pressable(command) || !Checked(command, &checked) || (checked != flag && !Press(command)))
        return false;
    return Checked(command, &checked) && ExpectState(command, g_id, "checked", flag, checked);
}

bool DoSetText(Args& args, const char* command, int)
{
    const char* text = TakeText(args, command);
    if (!Pressable(command))
        return false;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(g_control, WM_SETTEXT, 0, (LPARAM)text, SMTO_NORMAL, kSendTimeoutMs,
                             &result) ||
        !result)
        return Fail("set-text %d: WM_SETTEXT refused", g_id);
    return Line("ok   set-text %d", g_id);
}

bool DoKey(Args& args, const char* command, int)
{
    const char* name = args.Take();
    if (!name)
        return UsageError(command, "key name missing");
    WPARAM key = lstrcmpiA(name, "esc") == 0     ? VK_ESCAPE
                 : lstrcmpiA(name, "enter") == 0 ? VK_RETURN
                 : lstrcmpiA(name, "tab") == 0   ? VK_TAB
                                                 : 0;
    if (!key)
        return UsageError(command, "esc, enter or tab expected");
    if (!HaveWindow(command))
        return false;
    HWND target = FocusedWindow(g_window);
    if (!target)
        target = g_window;
    UINT scan = MapVirtualKeyA((UINT)key, 0);
    if (!PostMessageA(target, WM_KEYDOWN, key, 1 | (scan << 16)) ||
        !PostMessageA(target, WM_KEYUP, key, 1 | (scan << 16) | 0xC0000000u))
        return Fail("%s %s: not delivered", command, name);
    return Line("ok   key %s", name);
}

// mode 0: WM_CLOSE; 1: WM_SYSCOMMAND with the number that follows.
bool DoPost(Args& args, const char* command, int sysCommand)
{
    long value = 0;
    if (sysCommand && !ParseNumber(args.Take(), &value))
        return UsageError(command, "command id expected");
    if (!HaveWindow(command))
        return false;
    if (!PostMessageA(g_window, sysCommand ? WM_SYSCOMMAND : WM_CLOSE, (WPARAM)value, 0))
        return Fail("%s: not delivered", command);
    return Line(sysCommand ? "ok   %s %ld" : "ok   %s", command, value);
}

const Command kCommands[] = {
    {"timeout", DoMilliseconds, 0},               // MS: default time-out of the waits
    {"fail-on", DoFailOn, 0},                     // CAPTION: waits fail when this message box shows
    {"sleep", DoMilliseconds, 1},                 // MS
    {"wait", DoWait, kExact},                     // CAPTION [MS]: wait for a dialog, select it
    {"wait-prefix", DoWait, kPrefix},             // PREFIX [MS]: caption beginning with PREFIX
    {"wait-msgbox", DoWait, kMessageBox},         // CAPTION [MS]: a message box ("" matches "")
    {"wait-owned", DoWait, kOwned},               // [MS]: a dialog owned by the selected window
    {"wait-control", DoWait, kHasControl},        // ID [MS]: holding control ID; need not answer
    {"absent", DoAbsent, 0},                      // CAPTION [MS]: not shown within MS (0)
    {"wait-gone", DoWaitGone, 0},                 // [MS]: the selected window is destroyed
    {"wait-hidden", DoWaitGone, 1},               // [MS]: hidden or destroyed
    {"expect-alone", DoExpectAlone, 0},           // the only visible dialog
    {"list", DoList, 0},                          // print the visible dialogs
    {"caption", DoCaption, 0},                    // print the caption
    {"expect-caption", DoCaption, '='},           // TEXT
    {"expect-caption-prefix", DoCaption, '^'},    // TEXT
    {"text", DoText, 0, true},                    // ID: print the text, escaped
    {"expect-text", DoText, '=', true},           // ID TEXT
    {"expect-text-prefix", DoText, '^', true},    // ID TEXT
    {"expect-text-contains", DoText, '~', true},  // ID TEXT
    {"expect-text-file", DoText, 'f', true},      // ID FILE: the file's text up to a NUL
    {"wait-text", DoText, 'w', true},             // ID TEXT [MS]
    {"expect-child-text", DoExpectChildText, 0},  // TEXT: some control shows it
    {"tree-select-root", DoTreeSelectRoot, 0},    // select the tree view's root
    {"expect-enabled", DoExpectState, kEnabled, true},  // ID 0|1
    {"expect-visible", DoExpectState, kVisible, true},  // ID 0|1
    {"expect-checked", DoExpectState, kChecked, true},  // ID 0|1 (no answer fails)
    {"focus", DoFocus, 0},                              // print the id of the focused control
    {"expect-focus", DoFocus, 1},                       // ID
    {"click", DoClick, 0, true},                        // ID: BM_CLICK; fails when not delivered
    {"check", DoCheck, 0, true},                        // ID 0|1: click if it differs, then check
    {"set-text", DoSetText, 0, true},                   // ID TEXT: WM_SETTEXT
    {"key", DoKey, 0},                                  // esc|enter|tab: posted to the focus
    {"close", DoPost, 0},                               // post WM_CLOSE
    {"syscommand", DoPost, 1},                          // N: post WM_SYSCOMMAND N (16: About)
};

bool Run(Args& args)
{
    const char* command = args.Take();
    for (const Command& entry : kCommands)
        if (strcmp(command, entry.name) == 0)
            return (!entry.control || TakeControl(args, command)) &&
                   entry.handler(args, command, entry.mode);
    return UsageError(command, "unknown command");
}

// Splits a script into words as the head of this file says; the words point into the buffer.
int SplitScript(char* text, char** words, int capacity)
{
    int count = 0;
    char* p = text;
    while (*p) {
        p += strspn(p, " \t\r\n");
        if (*p == '#') {
            p += strcspn(p, "\n");
            continue;
        }
        if (!*p)
            break;
        char *word = p, *out = p;
        bool quoted = false;
        while (*p && (quoted || !strchr(" \t\r\n", *p))) {
            if (*p == '"') {
                quoted = !quoted;
                ++p;
            } else if (quoted && p[0] == '\\' && p[1] == '"') {
                *out++ = '"';
                p += 2;
            } else {
                *out++ = *p++;
            }
        }
        bool end = *p == '\0';
        *out = '\0';
        if (count == capacity)
            return -1;
        words[count++] = word;
        if (end)
            break;
        ++p;
    }
    return count;
}

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, NULL, _IONBF, 0);
    Args args = {argc - 1, argv + 1, 0};
    static char* scriptWords[kMaxArgs];
    char* script = NULL;
    if (argc == 3 && strcmp(argv[1], "-f") == 0) {
        script = ReadFileText(argv[2]);
        int count = script ? SplitScript(script, scriptWords, kMaxArgs) : 0;
        if (!script || count < 0) {
            Line("usage error: cannot read %s, or it has too many words", argv[2]);
            return 2;
        }
        args = {count, scriptWords, 0};
    }
    if (!args.Peek()) {
        Line("usage: guictl COMMAND [ARG...]... | guictl -f SCRIPT (commands: see guictl.cpp)");
        return 2;
    }
    bool ok = true;
    while (ok && args.Peek())
        ok = Run(args);
    free(script);
    return ok ? 0 : 1;
}
