// GetWindowsKind, kWindowsKindNames and CreateDriverRegistrar under one Wine version setting,
// named by the first argument (the script runs it once per setting).
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "driver_registrar.h"
#include "registrar_test_util.h"
#include "wine_test.h"

namespace {

// The registrar classes as RegistrarClassName names them.
const char kNone[] = "none";
const char kNt[] = "CNtServiceRegistrar";
const char kVxd[] = "CVxdRegistrar";
const char kWin98Sys[] = "CWin98SysRegistrar";

struct VersionCase {
    const char* setting;
    const char* version;  // platform major.minor as GetVersionExA reports them
    WindowsKind kind;
    const char* name;
    const char* forSys;  // CreateDriverRegistrar(0)
    const char* forVxd;  // CreateDriverRegistrar(1)
};

// winxp64 runs in a 64-bit prefix: 5.2 as win2003, but under WOW64.
const VersionCase kCases[] = {
    {"win95", "1 4.0", kWindows95, "Windows 95", kVxd, kVxd},
    {"win98", "1 4.10", kWindows98, "Windows 98", kWin98Sys, kVxd},
    {"winme", "1 4.90", kWindows98, "Windows 98", kWin98Sys, kVxd},
    {"nt40", "2 4.0", kWindowsNT4, "Windows NT 4.0", kNt, kNone},
    {"win2k", "2 5.0", kWindows2000, "Windows 2000", kNt, kNone},
    {"winxp", "2 5.1", kWindowsXP, "Windows XP", kNt, kNone},
    {"win2003", "2 5.2", kWindowsXP, "Windows XP", kNt, kNone},
    {"vista", "2 6.0", kWindowsNone, "None Detected", kNt, kNone},
    {"winxp64", "2 5.2", kWindowsNone, "None Detected", kNt, kNone},
};

void CheckFactory(const VersionCase& c, int preferVxd, const char* expected)
{
    CDriverRegistrar* registrar = CreateDriverRegistrar(preferVxd);
    const char* got = RegistrarClassName(registrar);
    ok(strcmp(got, expected) == 0, "%s, preferVxd %d: expected %s, got %s", c.setting, preferVxd,
       expected, got);
    // No VxD loader runs in this test: the VxD registrar carries the constructor's error.
    if (registrar && expected == kVxd) {
        ok(strcmp(registrar->Messages(), "Cannot open service control manager\n") == 0 &&
               registrar->HasError() == 1,
           "%s: VxD registrar without a loader: text '%s'", c.setting, registrar->Messages());
        ok(registrar->Configure("WinDriver", "windrvr", 2, NULL, 0) == 0,
           "%s: Configure without a loader succeeded", c.setting);
    }
    if (registrar && (expected == kNt || expected == kWin98Sys))
        ok(registrar->HasMessages() == 0, "%s: text '%s'", c.setting, registrar->Messages());
    delete registrar;
}

}  // namespace

int main(int argc, char** argv)
{
    const VersionCase* c = NULL;
    for (const VersionCase& candidate : kCases)
        if (argc == 2 && strcmp(candidate.setting, argv[1]) == 0)
            c = &candidate;
    if (c == NULL) {
        printf("usage: windows_kind_test SETTING (a Wine version name of the table)\n");
        return 2;
    }

    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    char reported[40];
    snprintf(reported, sizeof reported, "%lu %lu.%lu", version.dwPlatformId, version.dwMajorVersion,
             version.dwMinorVersion);
    ok(strcmp(reported, c->version) == 0, "%s: platform and version %s, expected %s", c->setting,
       reported, c->version);

    WindowsKind kind = GetWindowsKind();
    ok(kind == c->kind, "%s: kind %d, expected %d", c->setting, kind, c->kind);
    ok(GetWindowsKind() == kind, "%s: a second call disagrees", c->setting);
    if (kind >= 0 && kind <= 5)
        ok(strcmp(kWindowsKindNames[kind], c->name) == 0, "%s: name %s", c->setting,
           kWindowsKindNames[kind]);
    CheckFactory(*c, 0, c->forSys);
    CheckFactory(*c, 1, c->forVxd);
    CheckFactory(*c, 7, c->forVxd);  // any non-zero value asks for the VxD method
    return test_summary();
}
