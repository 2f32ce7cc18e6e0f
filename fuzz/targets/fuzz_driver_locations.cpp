// The Windows version classification and the driver-location rule with any version record and
// any Windows directory: the kind is one of the six, named by its table entry, and the driver
// directory and both driver file paths are either complete, with room for the shell's second NUL,
// or all empty when the Windows directory is too long for them.
#include "driver_registrar.h"
#include "fuzz_input.h"

namespace {

WindowsKind ExpectedKind(DWORD platform, DWORD major, DWORD minor)
{
    if (platform == VER_PLATFORM_WIN32_WINDOWS && major == 4)
        return minor == 0 ? kWindows95 : kWindows98;
    if (platform == VER_PLATFORM_WIN32_NT && major == 4)
        return kWindowsNT4;
    if (platform == VER_PLATFORM_WIN32_NT && major == 5)
        return minor == 0 ? kWindows2000 : kWindowsXP;
    return kWindowsNone;
}

void CheckLocations(WindowsKind kind, const std::string& windowsDir)
{
    DriverLocations* out = static_cast<DriverLocations*>(malloc(sizeof(DriverLocations)));
    memset(out, 'x', sizeof *out);
    int result = GetDriverLocations(kind, Exact(windowsDir), out);

    const bool nt = kind >= kWindowsNT4;
    const std::string extension = nt ? ".sys" : ".vxd";
    const std::string driverDir = windowsDir + (nt ? "\\system32\\drivers" : "\\system\\vmm32");
    const std::string talvenkp = driverDir + "\\talvenkp" + extension;
    FUZZ_CHECK(out->preferVxd == (nt ? 0 : 1));
    FUZZ_CHECK(extension == DriverFileExtension(kind));
    FUZZ_CHECK(std::string(DriverSourcePattern(kind)) == "system\\*" + extension);
    for (const char* path : {out->driverDir, out->windrvrPath, out->talvenkpPath})
        FUZZ_CHECK(strnlen(path, kDriverPathSize) < kDriverPathSize - 1);
    // The longest of the three decides; one character stays free for the second NUL.
    if (talvenkp.size() < kDriverPathSize - 1) {
        FUZZ_CHECK(result == 1);
        FUZZ_CHECK(driverDir == out->driverDir);
        FUZZ_CHECK(driverDir + "\\windrvr" + extension == out->windrvrPath);
        FUZZ_CHECK(talvenkp == out->talvenkpPath);
    } else {
        FUZZ_CHECK(result == 0);
        FUZZ_CHECK(out->driverDir[0] == '\0' && out->windrvrPath[0] == '\0' &&
                   out->talvenkpPath[0] == '\0');
    }
    free(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    uint8_t choice = input.Byte();
    DWORD platform = input.Byte() % 4;
    DWORD major = input.Byte();
    DWORD minor = input.Byte();
    if (choice & 1)
        major = input.Word();  // versions are compared as unsigned numbers
    std::string windowsDir = input.Field();

    sim::Reset();
    sim::SetVersion(platform, major, minor);
    sim::SetVersionQueryFails((choice & 2) != 0);
    WindowsKind kind = GetWindowsKind();
    FUZZ_CHECK(kind == ((choice & 2) ? kWindowsNone : ExpectedKind(platform, major, minor)));
    FUZZ_CHECK(kind >= 0 && kind <= 5 && kWindowsKindNames[kind] != NULL);

    CheckLocations(kind, windowsDir);
    // Kinds nobody should pass still fall on one side of the 9x/NT test.
    CheckLocations(static_cast<WindowsKind>(static_cast<int8_t>(choice)), windowsDir);
    return 0;
}
