// The stand-in answers as Windows does: the error codes other tests rely on, the service
// lifecycle, the registry's rules per platform, handle counting and failure injection.
#include <simulated_machine.h>

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

class Standin : public ::testing::Test {
protected:
    void SetUp() override { sim::Reset(); }
};

TEST_F(Standin, FileAttributesAndErrors)
{
    sim::AddFile("C:\\a\\f.txt");
    sim::AddDirectory("\\\\srv\\share");
    sim::machine().currentDir = "C:\\a";
    const DWORD kDir = FILE_ATTRIBUTE_DIRECTORY, kFile = FILE_ATTRIBUTE_NORMAL, kNone = 0;
    struct Row {
        std::string path;
        DWORD attributes;  // kNone: fails with `error`
        DWORD error;
    } rows[] = {
        {"C:", kDir, 0},
        {"C:\\", kDir, 0},
        {"c:\\A\\", kDir, 0},
        {"f.txt", kFile, 0},
        {"C:f.txt", kFile, 0},
        {"\\a\\f.txt", kFile, 0},
        {"C:/a/./x/../f.txt", kFile, 0},
        {"\\\\srv\\share", kDir, 0},
        {"C:\\a\\missing", kNone, ERROR_FILE_NOT_FOUND},
        {"C:\\missing\\x", kNone, ERROR_PATH_NOT_FOUND},
        {"C:\\a\\f.txt\\x", kNone, ERROR_PATH_NOT_FOUND},
        {"D:\\x", kNone, ERROR_PATH_NOT_FOUND},
        {"\\\\srv\\other\\x", kNone, ERROR_PATH_NOT_FOUND},
        {"C:\\a\\*.txt", kNone, ERROR_INVALID_NAME},
        {"C:\\" + std::string(257, 'l'), kNone, ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path.substr(0, 40));
        SetLastError(0xdeadbeef);
        const DWORD attributes = GetFileAttributesA(row.path.c_str());
        if (row.attributes == kNone) {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, attributes);
            EXPECT_EQ(row.error, GetLastError());
        } else {
            EXPECT_EQ(row.attributes, attributes);
        }
    }
}

TEST_F(Standin, CreateDirectoryErrors)
{
    sim::AddFile("C:\\a\\f.txt");
    sim::AddDirectory("\\\\srv\\share");
    struct Row {
        const char* path;
        DWORD error;  // 0: created
    } rows[] = {
        {"C:\\a", ERROR_ALREADY_EXISTS},
        {"C:\\a\\f.txt", ERROR_ALREADY_EXISTS},
        {"C:\\a\\f.txt\\d", ERROR_PATH_NOT_FOUND},
        {"C:\\x\\y", ERROR_PATH_NOT_FOUND},
        {"C:\\", ERROR_ACCESS_DENIED},
        {"C:\\b", 0},
        {"C:\\b\\c\\", 0},
        {"\\\\srv\\share\\d", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(row.error == 0 ? TRUE : FALSE, CreateDirectoryA(row.path, nullptr));
        if (row.error != 0) {
            EXPECT_EQ(row.error, GetLastError());
        } else {
            EXPECT_EQ(DWORD(FILE_ATTRIBUTE_DIRECTORY), GetFileAttributesA(row.path));
        }
    }
}

TEST_F(Standin, DirectoryQueriesAndVersionFollowWindowsSizeRules)
{
    sim::machine().windowsDir = "C:\\WINNT";
    char buffer[16];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(9u, GetWindowsDirectoryA(buffer, 8));  // no room for the NUL: the size needed
    EXPECT_EQ('x', buffer[0]);
    EXPECT_EQ(8u, GetWindowsDirectoryA(buffer, 9));
    EXPECT_STREQ("C:\\WINNT", buffer);

    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 156;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    info.dwOSVersionInfoSize = sizeof info;
    sim::SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(4u, info.dwMajorVersion);
    EXPECT_EQ(10u, info.dwMinorVersion);
    EXPECT_EQ(1u, info.dwPlatformId);

    // The ANSI to UTF-16 conversion: -1 counts the NUL, no room asks for the size, too little
    // writes nothing that counts.
    const char accented[] = "a\xE9z";
    char16_t wide[4];
    EXPECT_EQ(4, MultiByteToWideChar(CP_ACP, 0, accented, -1, nullptr, 0));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, 0, accented, -1, wide, 3));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(4, MultiByteToWideChar(CP_ACP, 0, accented, -1, wide, 4));
    EXPECT_EQ(std::u16string(u"a\u00E9z"), std::u16string(wide));
}

TEST_F(Standin, RegistryKeysPerPlatform)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\A\\B", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, &disposition));
    EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
    EXPECT_TRUE(sim::KeyExists("HKLM\\Software\\A"));
    const BYTE data[3] = {1, 2, 3};
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "V", 0, REG_BINARY, data, 3));
    BYTE out[2];
    DWORD size = sizeof out, type = 0;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "v", nullptr, &type, out, &size));
    EXPECT_EQ(3u, size);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\a\\b", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, &disposition));
    EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "\\Software\\A"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Missing"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\A"));  // NT
    sim::SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\A"));  // 9x: the tree
    EXPECT_FALSE(sim::KeyExists("HKLM\\Software\\A\\B"));
    EXPECT_TRUE(sim::KeyExists("HKLM\\Software"));
    EXPECT_EQ(0u, sim::OpenHandleCount());
}

TEST_F(Standin, ServiceLifecycleAndHandles)
{
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, scm);
    SC_HANDLE s = CreateServiceA(scm, "Drv", "Drv", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, 3, 1,
                                 "C:\\d.sys", nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, s);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, CreateServiceA(scm, "drv", "x", SERVICE_ALL_ACCESS, 1, 3, 1, "C:\\d.sys",
                                      nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_SERVICE_EXISTS), GetLastError());
    SERVICE_STATUS status;
    memset(&status, 0xcc, sizeof status);
    EXPECT_FALSE(ControlService(s, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(DWORD(ERROR_SERVICE_NOT_ACTIVE), GetLastError());
    EXPECT_EQ(DWORD(SERVICE_STOPPED), status.dwCurrentState);
    EXPECT_TRUE(StartServiceA(s, 0, nullptr));
    EXPECT_FALSE(StartServiceA(s, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_SERVICE_ALREADY_RUNNING), GetLastError());
    EXPECT_TRUE(DeleteService(s));
    EXPECT_FALSE(DeleteService(s));
    EXPECT_EQ(DWORD(ERROR_SERVICE_MARKED_FOR_DELETE), GetLastError());
    EXPECT_EQ(nullptr, CreateServiceA(scm, "Drv", "Drv", SERVICE_ALL_ACCESS, 1, 3, 1, "C:\\d.sys",
                                      nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_SERVICE_MARKED_FOR_DELETE), GetLastError());
    EXPECT_TRUE(ControlService(s, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(DWORD(SERVICE_STOPPED), status.dwCurrentState);
    EXPECT_EQ(1u, sim::machine().services.count("DRV"));  // the handle keeps it
    EXPECT_EQ(2u, sim::OpenHandleCount());
    EXPECT_TRUE(CloseServiceHandle(s));
    EXPECT_EQ(0u, sim::machine().services.count("Drv"));
    EXPECT_EQ(nullptr, OpenServiceA(scm, "Drv", SERVICE_ALL_ACCESS));
    EXPECT_EQ(DWORD(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());
    EXPECT_FALSE(CloseServiceHandle(s));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(1u, sim::BadCloseCount());
    EXPECT_TRUE(CloseServiceHandle(scm));
    EXPECT_EQ(0u, sim::OpenHandleCount());
}

TEST_F(Standin, FailureInjectionCountsFromArmingAndByIndex)
{
    EXPECT_NE(0u, GetWindowsDirectoryA(nullptr, 0));
    sim::FailCall("GetWindowsDirectoryA", ERROR_ACCESS_DENIED, 2);
    char buffer[64];
    EXPECT_NE(0u, GetWindowsDirectoryA(buffer, sizeof buffer));
    EXPECT_EQ(0u, GetWindowsDirectoryA(buffer, sizeof buffer));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_NE(0u, GetWindowsDirectoryA(buffer, sizeof buffer));

    sim::FailCallAt(sim::machine().calls.size() + 1, ERROR_GEN_FAILURE);
    HKEY key;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_GEN_FAILURE, RegCloseKey(key));  // fails, yet releases the key
    EXPECT_EQ(0u, sim::OpenHandleCount());
    EXPECT_EQ(0u, sim::BadCloseCount());
}

TEST_F(Standin, LoaderComparesUnloadNamesExactly)
{
    HANDLE device =
        CreateFileA("\\\\.\\VXDLDR", 0, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, device);
    char path[] = "C:\\W\\SYSTEM\\Vmm32\\windrvr.vxd";
    DWORD returned;
    EXPECT_TRUE(DeviceIoControl(device, 1, path, sizeof path, nullptr, 0, &returned, nullptr));
    EXPECT_FALSE(DeviceIoControl(device, 1, path, 5, nullptr, 0, &returned, nullptr));  // no NUL
    struct {
        DWORD id;
        char name[256];
    } request = {0xFFFFFFFF, "windrvr"};
    EXPECT_FALSE(
        DeviceIoControl(device, 2, &request, sizeof request, nullptr, 0, &returned, nullptr));
    strcpy(request.name, "WINDRVR");
    EXPECT_TRUE(
        DeviceIoControl(device, 2, &request, sizeof request, nullptr, 0, &returned, nullptr));
    EXPECT_FALSE(
        DeviceIoControl(device, 2, &request, sizeof request, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(5u, sim::machine().vxd.requests.size());
    EXPECT_TRUE(CloseHandle(device));
    sim::machine().vxd.present = false;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileA("\\\\.\\VXDLDR", 0, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(0u, sim::OpenHandleCount());
}

}  // namespace
