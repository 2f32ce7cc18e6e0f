// CVxdRegistrar end to end under Wine with the version set to win98 for this program: the VxD
// key in Wine's registry, and load and unload requests to the test VxD loader driver
// (vxdldr_fake.sys, started by the script through the service control manager), whose request
// log is read back byte for byte.
//   vxd_registrar_test loader     the loader runs
//   vxd_registrar_test noloader   the loader is stopped
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "driver_registrar.h"
#include "registrar_test_util.h"
#include "vxdldr_protocol.h"
#include "wine_test.h"

namespace {

const char kVxdKey[] = "System\\CurrentControlSet\\Services\\VxD\\WinDriver";
const char kUnloadWarning[] = "Could not unload driver, or driver was previously loaded.\n";
const char kPath35[] = "C:\\WINDOWS\\SYSTEM\\Vmm32\\windrvr.VXD";

// The test's own handle to the loader, for its control requests.
HANDLE g_loader = INVALID_HANDLE_VALUE;
VXDLDR_LOG g_log;

bool LoaderCall(DWORD code, void* in, DWORD inLength, void* out, DWORD outLength)
{
    DWORD returned = 0;
    return DeviceIoControl(g_loader, code, in, inLength, out, outLength, &returned, NULL) != FALSE;
}

void LoaderReset(ULONG acceptAllUnloads)
{
    bool done = LoaderCall(VXDLDR_IOCTL_RESET, &acceptAllUnloads, sizeof acceptAllUnloads, NULL, 0);
    ok(done, "loader reset failed: %lu", GetLastError());
}

void LoaderSetCount(const char* name, ULONG count)
{
    VXDLDR_COUNT request;
    memset(&request, 0, sizeof request);
    request.count = count;
    snprintf(request.name, sizeof request.name, "%s", name);
    bool done = LoaderCall(VXDLDR_IOCTL_SET_COUNT, &request, sizeof request, NULL, 0);
    ok(done, "loader set count failed: %lu", GetLastError());
}

ULONG LoaderCount(const char* name)
{
    VXDLDR_COUNT request;
    memset(&request, 0, sizeof request);
    snprintf(request.name, sizeof request.name, "%s", name);
    if (!LoaderCall(VXDLDR_IOCTL_GET_COUNT, &request, sizeof request, &request, sizeof request))
        return 0xFFFFFFFF;
    return request.count;
}

const VXDLDR_LOG& LoaderLog()
{
    memset(&g_log, 0, sizeof g_log);
    bool done = LoaderCall(VXDLDR_IOCTL_GET_LOG, NULL, 0, &g_log, sizeof g_log);
    ok(done, "loader log failed: %lu", GetLastError());
    return g_log;
}

// Entry `index` of the log is an unload request for `name`, answered with success or failure.
void CheckUnloadEntry(unsigned index, const char* name, bool accepted)
{
    ok(index < g_log.stored, "no log entry %u", index);
    if (index >= g_log.stored)
        return;
    const VXDLDR_LOG_ENTRY& entry = g_log.entries[index];
    ok(entry.code == VXDLDR_UNLOAD, "entry %u: code %lu", index, entry.code);
    ok(entry.inputLength == 260 && entry.outputLength == 0, "entry %u: input %lu output %lu", index,
       entry.inputLength, entry.outputLength);
    static const unsigned char kDeviceId[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    ok(memcmp(entry.input, kDeviceId, 4) == 0, "entry %u: deviceId %02x%02x%02x%02x", index,
       entry.input[0], entry.input[1], entry.input[2], entry.input[3]);
    size_t length = strlen(name);
    ok(memcmp(entry.input + 4, name, length + 1) == 0, "entry %u: name '%.256s', expected '%s'",
       index, reinterpret_cast<const char*>(entry.input + 4), name);
    ok((entry.status == 0) == accepted, "entry %u: status %lx", index, entry.status);
}

CDriverRegistrar* NewVxdRegistrar(const char* name, const char* fileName, const char* path)
{
    CDriverRegistrar* registrar = CreateDriverRegistrar(1);
    ok(IsRegistrarClass<CVxdRegistrar>(registrar), "CreateDriverRegistrar(1) gave %s",
       RegistrarClassName(registrar));
    if (registrar == NULL)
        return NULL;
    ok(registrar->Messages()[0] == '\0' && registrar->Manager() != NULL,
       "registrar did not open the loader: %s", registrar->Messages());
    ok(registrar->Configure(name, fileName, 2, path, 0) == 1, "Configure refused %s", name);
    return registrar;
}

// The VxD key: written, rewritten with the warning, deleted, and the missing key's error.
void TestInstallRemove()
{
    LoaderReset(0);
    ok(OpenMachineKeyResult(kVxdKey) == ERROR_FILE_NOT_FOUND, "VxD key exists before the test");
    CDriverRegistrar* registrar = NewVxdRegistrar("WinDriver", "windrvr", kPath35);
    if (!registrar)
        return;
    const BYTE startZero = 0;
    for (int round = 0; round < 2; ++round) {
        ok(registrar->Install() == 1, "Install %d failed", round);
        ok(MachineValueIs(kVxdKey, "Start", REG_BINARY, &startZero, 1), "round %d: Start", round);
        ok(MachineStringIs(kVxdKey, "StaticVxD", "*windrvr"), "round %d: StaticVxD", round);
        if (round == 0) {
            ok_text(registrar, "", 0, 0);
            HKEY key;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVxdKey, 0, KEY_SET_VALUE, &key) ==
                ERROR_SUCCESS) {
                const BYTE changed[2] = {1, 2};
                RegSetValueExA(key, "Start", 0, REG_BINARY, changed, 2);
                RegSetValueExA(key, "StaticVxD", 0, REG_SZ, reinterpret_cast<const BYTE*>("*old"),
                               5);
                RegCloseKey(key);
            }
        } else {
            ok_text(registrar, "WinDriver already exists in Win-95 registry\n", 1, 0);
        }
    }
    ok(registrar->Remove() == 1, "Remove failed");
    ok(OpenMachineKeyResult(kVxdKey) == ERROR_FILE_NOT_FOUND, "VxD key left after Remove");
    ok(registrar->Messages()[0] == '\0', "Remove kept text: %s", registrar->Messages());
    ok(registrar->Remove() == 0, "Remove of a missing key succeeded");
    ok_text(registrar, "WinDriver does not exist in Win-95 registry\n", -1, 1);
    LoaderLog();
    ok(g_log.total == 0, "Install/Remove sent %lu loader requests", g_log.total);
    delete registrar;
}

// Load sends the path with its NUL; Unload repeats until the loader refuses.
void TestLoadUnload()
{
    LoaderReset(0);
    ok(strlen(kPath35) == 35, "path length %u", (unsigned)strlen(kPath35));
    CDriverRegistrar* registrar = NewVxdRegistrar("WinDriver", "windrvr", kPath35);
    if (!registrar)
        return;
    ok(registrar->Load() == 1, "Load failed");
    const VXDLDR_LOG& log = LoaderLog();
    ok(log.total == 1, "Load sent %lu requests", log.total);
    if (log.stored >= 1) {
        const VXDLDR_LOG_ENTRY& entry = log.entries[0];
        ok(entry.code == VXDLDR_LOAD && entry.inputLength == 36 && entry.outputLength == 0,
           "load request: code %lu input %lu output %lu", entry.code, entry.inputLength,
           entry.outputLength);
        ok(memcmp(entry.input, kPath35, 36) == 0, "load request input '%.264s'", entry.input);
    }
    ok(LoaderCount("WINDRVR") == 1, "loader count %lu", LoaderCount("WINDRVR"));

    ok(registrar->Unload() == 1, "Unload of a VxD loaded once failed");
    LoaderLog();
    ok(g_log.total == 3, "Unload sent %lu requests, expected 2", g_log.total - 1);
    CheckUnloadEntry(1, "WINDRVR", true);
    CheckUnloadEntry(2, "WINDRVR", false);
    ok(LoaderCount("WINDRVR") == 0, "loader count %lu", LoaderCount("WINDRVR"));
    ok(!registrar->HasMessages(), "text: %s", registrar->Messages());

    // Not loaded: one refused request and the warning.
    ok(registrar->Unload() == 0, "Unload of a VxD that is not loaded succeeded");
    LoaderLog();
    ok(g_log.total == 4, "sent %lu requests, expected 1", g_log.total - 3);
    CheckUnloadEntry(3, "WINDRVR", false);
    ok_text(registrar, kUnloadWarning, 1, 0);
    delete registrar;
}

void TestUnloadLoadedThreeTimes()
{
    LoaderReset(0);
    LoaderSetCount("WINDRVR", 3);
    CDriverRegistrar* registrar = NewVxdRegistrar("WinDriver", "windrvr", kPath35);
    if (!registrar)
        return;
    ok(registrar->Unload() == 1, "Unload of a VxD loaded three times failed");
    LoaderLog();
    ok(g_log.total == 4, "sent %lu requests, expected 4", g_log.total);
    for (unsigned i = 0; i < 4; ++i)
        CheckUnloadEntry(i, "WINDRVR", i < 3);
    ok(LoaderCount("WINDRVR") == 0, "loader count %lu", LoaderCount("WINDRVR"));
    ok(!registrar->HasMessages(), "text: %s", registrar->Messages());
    delete registrar;
}

// A loader that never refuses: exactly 1000 requests, result 0, no text.
void TestAcceptEveryUnload()
{
    LoaderReset(1);
    CDriverRegistrar* registrar = NewVxdRegistrar("WinDriver", "windrvr", kPath35);
    if (!registrar)
        return;
    ok(registrar->Unload() == 0, "Unload against an always-accepting loader succeeded");
    LoaderLog();
    ok(g_log.total == 1000, "sent %lu requests, expected 1000", g_log.total);
    ok_text(registrar, "", 0, 0);
    delete registrar;
    LoaderReset(0);
}

// talvenkp with the default path under the system directory; a mixed-case file base name is
// upper-cased letter by letter, other characters kept.
void TestDefaultPathAndNames()
{
    LoaderReset(0);
    char systemDir[MAX_PATH], expected[MAX_PATH + 32];
    UINT length = GetSystemDirectoryA(systemDir, sizeof systemDir);
    snprintf(expected, sizeof expected, "%s%sVmm32\\talvenkp.VXD", systemDir,
             (length > 0 && systemDir[length - 1] == '\\') ? "" : "\\");
    CDriverRegistrar* registrar = NewVxdRegistrar("talvenkp", "talvenkp", NULL);
    if (registrar) {
        ok(strcmp(registrar->ImagePath(), expected) == 0, "default path %s, expected %s",
           registrar->ImagePath(), expected);
        ok(registrar->Load() == 1, "Load failed");
        ok(LoaderCount("TALVENKP") == 1, "loader count %lu", LoaderCount("TALVENKP"));
        LoaderLog();
        ok(g_log.stored >= 1 &&
               strcmp(reinterpret_cast<const char*>(g_log.entries[0].input), expected) == 0 &&
               g_log.entries[0].inputLength == strlen(expected) + 1,
           "load request '%.264s'", g_log.entries[0].input);
        ok(registrar->Unload() == 1, "Unload failed");
        LoaderLog();
        CheckUnloadEntry(1, "TALVENKP", true);
        delete registrar;
    }

    LoaderReset(0);
    registrar = NewVxdRegistrar("Mixed", "Tal-ven_9z", "C:\\x\\Tal-ven_9z.vxd");
    if (registrar) {
        ok(registrar->Load() == 1, "Load failed");
        ok(registrar->Unload() == 1, "Unload failed");
        LoaderLog();
        CheckUnloadEntry(1, "TAL-VEN_9Z", true);
        delete registrar;
    }
}

// Without the loader: the constructor's error and a refused Configure.
void TestWithoutLoader()
{
    SetLastError(0xdeadbeef);
    HANDLE probe = CreateFileA("\\\\.\\VXDLDR", 0, 0, NULL, OPEN_EXISTING, 0, NULL);
    ok(probe == INVALID_HANDLE_VALUE, "the loader device is still there");
    if (probe != INVALID_HANDLE_VALUE)
        CloseHandle(probe);
    CDriverRegistrar* registrar = CreateDriverRegistrar(1);
    ok(IsRegistrarClass<CVxdRegistrar>(registrar), "CreateDriverRegistrar(1) gave %s",
       RegistrarClassName(registrar));
    if (registrar == NULL)
        return;
    ok_text(registrar, "Cannot open service control manager\n", -1, 1);
    ok(registrar->Manager() == NULL, "manager %p", registrar->Manager());
    ok(registrar->Configure("WinDriver", "windrvr", 2, kPath35, 0) == 0, "Configure succeeded");
    ok(registrar->Load() == 0, "Load succeeded");
    ok(registrar->Unload() == 0, "Unload succeeded");
    delete registrar;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || (strcmp(argv[1], "loader") != 0 && strcmp(argv[1], "noloader") != 0)) {
        printf("usage: vxd_registrar_test loader|noloader\n");
        return 2;
    }
    ok(GetWindowsKind() == kWindows98, "GetWindowsKind %d: the version is not win98",
       GetWindowsKind());
    if (strcmp(argv[1], "noloader") == 0) {
        TestWithoutLoader();
        return test_summary();
    }

    // The registrar's own way of opening the device must work on it.
    SetLastError(0xdeadbeef);
    HANDLE same =
        CreateFileA("\\\\.\\VXDLDR", 0, 0, NULL, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, NULL);
    ok(same != INVALID_HANDLE_VALUE, "CREATE_NEW/DELETE_ON_CLOSE open failed: %lu", GetLastError());
    if (same != INVALID_HANDLE_VALUE)
        CloseHandle(same);
    g_loader =
        CreateFileA("\\\\.\\VXDLDR", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ok(g_loader != INVALID_HANDLE_VALUE, "cannot open the test loader: %lu", GetLastError());
    if (g_loader == INVALID_HANDLE_VALUE)
        return test_summary();

    // Each group deletes its registrars: the loader then holds no handle but the test's own.
    void (*const groups[])() = {TestInstallRemove, TestLoadUnload, TestUnloadLoadedThreeTimes,
                                TestAcceptEveryUnload, TestDefaultPathAndNames};
    for (unsigned i = 0; i < sizeof groups / sizeof groups[0]; ++i) {
        groups[i]();
        LoaderLog();
        ok(g_log.openHandles == 1, "group %u: %lu loader handles open, expected 1", i,
           g_log.openHandles);
    }
    CloseHandle(g_loader);
    return test_summary();
}
