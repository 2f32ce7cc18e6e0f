// Windows version classification, the driver locations of each kind, and the registrar the factory
// picks for each platform.
#include "test_support.h"

#include <string.h>

namespace {

class WindowsKindTest : public test::MachineTest {};

TEST_F(WindowsKindTest, ClassifiesEveryVersionRow)
{
    struct Row {
        DWORD platform, major, minor;
        WindowsKind kind;
    } rows[] = {
        {1, 4, 0, 1}, {1, 4, 10, 2}, {1, 4, 90, 2}, {1, 4, 1, 2},  {1, 3, 0, 0}, {1, 5, 0, 0},
        {2, 4, 0, 3}, {2, 4, 10, 3}, {2, 3, 51, 0}, {2, 5, 0, 4},  {2, 5, 1, 5}, {2, 5, 2, 5},
        {2, 6, 0, 0}, {2, 10, 0, 0}, {0, 4, 0, 0},  {0, 3, 10, 0}, {3, 5, 1, 0},
    };
    // Each row again as kernel32's IsWow64Process answers it: absent (every system before XP SP2),
    // a 32-bit Windows, 64-bit Windows (WOW64: the 5.2 of XP x64 and Server 2003 x64 included),
    // and a call that fails. Only a proven 32-bit Windows keeps the row's kind.
    enum Wow64 { kAbsent, k32Bit, kUnderWow64, kQueryFails };
    for (Wow64 wow64 : {kAbsent, k32Bit, kUnderWow64, kQueryFails}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << "platform " << row.platform << ", " << row.major
                                              << "." << row.minor << ", WOW64 case " << wow64);
            sim::Reset();
            sim::SetVersion(row.platform, row.major, row.minor);
            sim::machine().isWow64ProcessExported = wow64 != kAbsent;
            sim::machine().wow64 = wow64 == kUnderWow64 ? TRUE : FALSE;
            if (wow64 == kQueryFails)
                sim::FailCall("IsWow64Process", ERROR_ACCESS_DENIED);
            EXPECT_EQ(wow64 == kAbsent || wow64 == k32Bit ? row.kind : 0, GetWindowsKind());
        }
    }
}

TEST_F(WindowsKindTest, FailingVersionQueryIsKindZero)
{
    sim::SetVersion(2, 5, 1);
    sim::SetVersionQueryFails(true);
    EXPECT_EQ(0, GetWindowsKind());
    sim::SetVersionQueryFails(false);
    sim::FailCall("GetVersionExA", ERROR_ACCESS_DENIED);
    const WindowsKind kind = GetWindowsKind();
    EXPECT_EQ(0, kind);
    EXPECT_STREQ("None Detected", kWindowsKindNames[kind]);
    // Every call asks again.
    EXPECT_EQ(5, GetWindowsKind());
}

TEST(WindowsKindNames, InKindOrder)
{
    const char* expected[6] = {"None Detected",  "Windows 95",   "Windows 98",
                               "Windows NT 4.0", "Windows 2000", "Windows XP"};
    for (int i = 0; i < 6; ++i)
        EXPECT_STREQ(expected[i], kWindowsKindNames[i]) << i;
}

TEST(DriverLocationsTest, PerKind)
{
    // Both driver files lie in the driver directory under their names with the kind's extension.
    struct Row {
        WindowsKind kind;
        const char* windowsDir;
        std::string driverDir;
        int preferVxd;
        std::string extension;
    } rows[] = {
        {0, "C:\\WINDOWS", "C:\\WINDOWS\\system\\vmm32", 1, ".vxd"},
        {1, "C:\\WINDOWS", "C:\\WINDOWS\\system\\vmm32", 1, ".vxd"},
        {2, "C:\\WINDOWS", "C:\\WINDOWS\\system\\vmm32", 1, ".vxd"},
        {3, "D:\\WINNT", "D:\\WINNT\\system32\\drivers", 0, ".sys"},
        {4, "C:\\WINNT", "C:\\WINNT\\system32\\drivers", 0, ".sys"},
        {5, "C:\\WINDOWS", "C:\\WINDOWS\\system32\\drivers", 0, ".sys"},
        // A system in the root of a drive: the directory is used as it is, backslash doubled.
        {5, "E:\\", "E:\\\\system32\\drivers", 0, ".sys"},
        {2, "E:\\", "E:\\\\system\\vmm32", 1, ".vxd"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "kind " << row.kind << ", " << row.windowsDir);
        DriverLocations out;
        memset(&out, 'x', sizeof out);
        EXPECT_EQ(1, GetDriverLocations(row.kind, row.windowsDir, &out));
        EXPECT_EQ(row.driverDir, out.driverDir);
        EXPECT_EQ(row.driverDir + "\\windrvr" + row.extension, out.windrvrPath);
        EXPECT_EQ(row.driverDir + "\\talvenkp" + row.extension, out.talvenkpPath);
        EXPECT_EQ(row.preferVxd, out.preferVxd);
        EXPECT_EQ("system\\*" + row.extension, DriverSourcePattern(row.kind));
        EXPECT_EQ(row.extension, DriverFileExtension(row.kind));
    }
}

// The longest path (talvenkp's) must leave a byte for the shell list's second NUL: 1022 characters
// at most. NT adds 30 characters to the Windows directory, the 9x side 26.
TEST(DriverLocationsTest, TooLongWindowsDirectoryIsRefusedWithEmptyPaths)
{
    struct Row {
        WindowsKind kind;
        size_t length;
        int expected;
    } rows[] = {{5, 992, 1}, {5, 993, 0}, {2, 996, 1}, {2, 997, 0}, {4, 5000, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "kind " << row.kind << ", length " << row.length);
        const std::string windowsDir = "C:\\" + std::string(row.length - 3, 'w');
        // Exactly sized on the heap, so that a write past the structure reaches ASan's red zone.
        std::unique_ptr<DriverLocations> out(new DriverLocations);
        memset(out.get(), 'x', sizeof *out);
        EXPECT_EQ(row.expected, GetDriverLocations(row.kind, windowsDir.c_str(), out.get()));
        EXPECT_EQ(row.kind <= 2 ? 1 : 0, out->preferVxd);
        for (const char* path : {out->driverDir, out->windrvrPath, out->talvenkpPath}) {
            const size_t length = strnlen(path, kDriverPathSize);
            EXPECT_LE(length, kDriverPathSize - 2u);
            if (row.expected == 0) {
                EXPECT_EQ(0u, length);
            }
        }
        if (row.expected == 1) {
            EXPECT_EQ(kDriverPathSize - 2u, strlen(out->talvenkpPath));
        }
    }
}

enum class Made { None, Nt, Vxd, Win98 };

Made WhatWasMade(CDriverRegistrar* r)
{
    return dynamic_cast<CNtServiceRegistrar*>(r) != nullptr  ? Made::Nt
           : dynamic_cast<CVxdRegistrar*>(r) != nullptr      ? Made::Vxd
           : dynamic_cast<CWin98SysRegistrar*>(r) != nullptr ? Made::Win98
                                                             : Made::None;
}

class SelectionTest : public test::MachineTest {};

TEST_F(SelectionTest, ByPlatformVersionAndPreference)
{
    struct Row {
        DWORD platform, major, minor;
        int preferVxd;
        Made made;
    } rows[] = {
        {1, 4, 0, 0, Made::Vxd},    {1, 4, 0, 1, Made::Vxd},   {1, 3, 95, 0, Made::Vxd},
        {1, 4, 10, 0, Made::Win98}, {1, 4, 10, 1, Made::Vxd},  {1, 4, 90, 0, Made::Win98},
        {1, 4, 90, 7, Made::Vxd},   {1, 5, 0, 0, Made::Win98}, {2, 4, 0, 0, Made::Nt},
        {2, 5, 1, 0, Made::Nt},     {2, 6, 0, 0, Made::Nt},    {2, 5, 1, 1, Made::None},
        {2, 4, 0, -1, Made::None},  {0, 3, 10, 0, Made::None}, {0, 3, 10, 1, Made::None},
        {3, 5, 0, 0, Made::None},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "platform " << row.platform << ", " << row.major << "."
                                          << row.minor << ", preferVxd " << row.preferVxd);
        sim::Reset();
        sim::SetVersion(row.platform, row.major, row.minor);
        std::unique_ptr<CDriverRegistrar> r(CreateDriverRegistrar(row.preferVxd));
        EXPECT_EQ(row.made, WhatWasMade(r.get()));
        if (r) {
            EXPECT_STREQ("", r->Messages());
            EXPECT_EQ(1, r->Configure("WinDriver", "windrvr", 2, "C:\\d\\windrvr.x", 0));
        }
        r.reset();
        EXPECT_EQ(0u, sim::OpenHandleCount());
    }
}

TEST_F(SelectionTest, FailingVersionQueryYieldsNothing)
{
    sim::SetVersion(1, 4, 0);
    sim::SetVersionQueryFails(true);
    EXPECT_EQ(nullptr, CreateDriverRegistrar(1));
    EXPECT_EQ(0u, sim::OpenHandleCount());
}

TEST_F(SelectionTest, Windows95WithoutLoaderStillYieldsARefusingVxdRegistrar)
{
    sim::SetVersion(1, 4, 0);
    sim::machine().vxd.present = false;
    std::unique_ptr<CDriverRegistrar> r(CreateDriverRegistrar(1));
    ASSERT_EQ(Made::Vxd, WhatWasMade(r.get()));
    EXPECT_STREQ("Cannot open service control manager\n", r->Messages());
    EXPECT_EQ(1, r->HasError());
    EXPECT_EQ(0, r->Configure("WinDriver", "windrvr", 2, nullptr, 0));
}

}  // namespace
