// The steps both programs take through the library: setup's re-registration and the
// uninstaller's removal with what the system still holds afterwards, setup's question whether a
// service is marked for deletion, the installer lock, the question whether this user may register
// drivers, and the shell's file lists.
#include "test_support.h"

#include "driver_rights.h"
#include "driver_sequences.h"
#include "installer_lock.h"
#include "shell_files.h"

#include <shellapi.h>
#include <string.h>

namespace {

using test::AddService;
using test::kImage;
using test::MachineTest;

// What OpenSCManagerA answers when the service control manager cannot be reached.
const DWORD kRpcServerUnavailable = 1722;

// The calls that show the order of a sequence, with the pause as "Sleep".
std::vector<std::string> Steps(size_t first)
{
    std::vector<std::string> steps;
    for (const std::string& call : test::CallsSince(first))
        if (call == "ControlService" || call == "DeleteService" || call == "Sleep" ||
            call == "CreateServiceA" || call == "StartServiceA" || call == "RegDeleteKeyA" ||
            call == "DeviceIoControl" || call == "RegCreateKeyExA")
            steps.push_back(call);
    return steps;
}

TEST_F(MachineTest, ReplaceDriverStopsRemovesPausesThenAddsAndStarts)
{
    AddService(SERVICE_RUNNING).imagePath = "C:\\old\\windrvr.sys";
    CRegistrarOwner registrar(0, "WinDriver", "windrvr", kImage);
    size_t first = sim::machine().calls.size();
    EXPECT_EQ(0, ReplaceDriver(registrar.Get(), Sleep));
    EXPECT_EQ((std::vector<std::string>{"ControlService", "DeleteService", "Sleep",
                                        "CreateServiceA", "StartServiceA"}),
              Steps(first));
    EXPECT_EQ(1000u, sim::machine().sleptMs);
    EXPECT_EQ(kImage, sim::machine().services["WinDriver"].imagePath);
    EXPECT_EQ(DWORD(SERVICE_RUNNING), sim::machine().services["WinDriver"].state);
}

TEST_F(MachineTest, ReplaceDriverWithoutRegistrarFailsBothCountedSteps)
{
    EXPECT_EQ(2, ReplaceDriver(nullptr, Sleep));
    EXPECT_TRUE(sim::machine().calls.empty());
}

// Each machine state an uninstall meets, and what RemoveDriver must then report.
TEST_F(MachineTest, RemoveDriverReportsWhatTheSystemStillHolds)
{
    enum Setup {
        kNone,
        kRunning,
        kStopped,
        kWillNotStop,
        kDeleteRefused,
        kHeldOpen,
        kNoManager,
        kManagerFails,
        kOwnSecurityRefusesDelete,
        kOwnSecurityRefusesAll,
    };
    struct Row {
        const char* label;
        Setup setup;
        int expected;
    } rows[] = {
        {"not registered", kNone, kDriverGone},
        {"running", kRunning, kDriverGone},
        {"registered, not running", kStopped, kDriverGone},
        {"stop refused", kWillNotStop, kDriverStillRunning | kDriverRemovalPending},
        {"delete refused", kDeleteRefused, kDriverStillRegistered},
        {"held open elsewhere: marked for deletion", kHeldOpen, kDriverRemovalPending},
        // Only a refusal for lack of rights says so: the advice then is another account.
        {"service control manager refuses this user", kNoManager,
         kDriverStillRegistered | kDriverAccessDenied},
        {"service control manager fails otherwise", kManagerFails, kDriverStillRegistered},
        {"the service's security refuses this user its deletion", kOwnSecurityRefusesDelete,
         kDriverStillRegistered | kDriverAccessDenied | kDriverStillRunning},
        {"the service's security refuses this user everything", kOwnSecurityRefusesAll,
         kDriverStillRegistered | kDriverAccessDenied},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        sim::Reset();
        SC_HANDLE manager = nullptr, held = nullptr;
        if (row.setup != kNone)
            AddService(row.setup == kStopped ? SERVICE_STOPPED : SERVICE_RUNNING);
        if (row.setup == kWillNotStop)
            sim::machine().services["WinDriver"].stopAnswer = SERVICE_STOP_PENDING;
        if (row.setup == kHeldOpen) {
            manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
            held = OpenServiceA(manager, "WinDriver", SERVICE_QUERY_STATUS);
        }
        {
            CRegistrarOwner registrar(0, "WinDriver", "windrvr", kImage);
            if (row.setup == kDeleteRefused)
                sim::FailCall("DeleteService", ERROR_ACCESS_DENIED);
            if (row.setup == kNoManager)
                sim::machine().scmAvailable = false;
            if (row.setup == kManagerFails)
                sim::FailCall("OpenSCManagerA", kRpcServerUnavailable);
            if (row.setup == kOwnSecurityRefusesDelete)
                sim::machine().services["WinDriver"].deniedAccess = DELETE;
            if (row.setup == kOwnSecurityRefusesAll)
                sim::machine().services["WinDriver"].deniedAccess = SERVICE_ALL_ACCESS;
            size_t first = sim::machine().calls.size();
            EXPECT_EQ(row.expected, RemoveDriver(registrar.Get(), 0, "WinDriver", Sleep));
            EXPECT_EQ(1000u, sim::machine().sleptMs);  // whatever the steps answered
            if (row.setup == kRunning) {
                EXPECT_EQ((std::vector<std::string>{"ControlService", "Sleep", "DeleteService"}),
                          Steps(first));
            }
        }
        if (held != nullptr) {
            CloseServiceHandle(held);
            CloseServiceHandle(manager);
        }
        EXPECT_EQ(0u, sim::OpenHandleCount());
    }
}

// Windows 95/98 tells only whether the VxD key is there and whether the loader unloaded the VxD:
// a VxD that was registered and would not unload (a static VxD loaded at boot) runs until the
// restart.
TEST_F(MachineTest, RemoveDriverOnWindows9xAsksTheVxdKeyAndTheUnload)
{
    struct Row {
        const char* label;
        bool key;
        int loaded;
        bool deleteRefused;
        bool loader;
        int expected;
    } rows[] = {
        {"registered, unloaded", true, 1, false, true, kDriverGone},
        {"registered, unload refused", true, 0, false, true, kDriverStillRunning},
        {"not registered, not loaded", false, 0, false, true, kDriverGone},
        {"key delete refused, unloaded", true, 1, true, true, kDriverStillRegistered},
        {"key delete refused, unload refused", true, 0, true, true,
         kDriverStillRegistered | kDriverStillRunning},
        {"no VxD loader", true, 0, false, false, kDriverStillRegistered | kDriverStillRunning},
    };
    const std::string key = std::string(test::kVxdKey) + "WinDriver";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        sim::Reset();
        UseWindows98();
        if (row.key)
            sim::AddKey(key);
        sim::machine().vxd.loaded["WINDRVR"] = row.loaded;
        sim::machine().vxd.present = row.loader;
        {
            CRegistrarOwner registrar(1, "WinDriver", "windrvr", nullptr);
            if (row.deleteRefused)
                sim::FailCall("RegDeleteKeyA", ERROR_ACCESS_DENIED);
            EXPECT_EQ(row.expected, RemoveDriver(registrar.Get(), 1, "WinDriver", Sleep));
        }
        EXPECT_EQ(1000u, sim::machine().sleptMs);
        EXPECT_EQ(row.key && (row.deleteRefused || !row.loader), sim::KeyExists(key));
        EXPECT_EQ(0u, sim::OpenHandleCount());
    }
}

// The probe setup makes before it copies anything: only a service marked for deletion answers 1,
// and nothing changes, whatever the answer.
TEST_F(MachineTest, IsServiceMarkedForDeletionAsksWithoutChanging)
{
    enum Setup { kNone, kRunning, kMarked, kMarkedNoLookup, kMarkedNoManager };
    struct Row {
        const char* label;
        Setup setup;
        int expected;
    } rows[] = {
        {"not registered", kNone, 0},
        {"running", kRunning, 0},
        {"marked for deletion, still running", kMarked, 1},
        {"marked, ChangeServiceConfigA not exported", kMarkedNoLookup, 0},
        {"marked, no service control manager", kMarkedNoManager, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        sim::Reset();
        if (row.setup != kNone)
            AddService(SERVICE_RUNNING).markedForDeletion = row.setup != kRunning;
        if (row.setup == kMarkedNoLookup)
            sim::machine().missingExports.push_back("ChangeServiceConfigA");
        if (row.setup == kMarkedNoManager)
            sim::machine().scmAvailable = false;
        sim::Snapshot before = sim::TakeSnapshot();
        EXPECT_EQ(row.expected, IsServiceMarkedForDeletion("WinDriver"));
        EXPECT_TRUE(before == sim::TakeSnapshot());
        EXPECT_EQ(0u, sim::OpenHandleCount());
    }
}

// The lock's name follows the version, never an error: a failure of it leaves no per-session lock
// behind (another object squatting on the Global\\ name answers error 6).
TEST(InstallerLock, NameByVersionAndEveryFailureRefused)
{
    const std::string global = "Global\\TALVEN setup and uninstall";
    const std::string plain = "TALVEN setup and uninstall";
    struct Row {
        DWORD platform, major, minor;
        const std::string& name;
    } rows[] = {
        {1, 4, 0, plain},  {1, 4, 10, plain}, {2, 4, 0, plain},  {2, 5, 0, global},
        {2, 5, 1, global}, {2, 5, 2, global}, {2, 6, 0, global},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << "platform " << row.platform << ", " << row.major << "." << row.minor);
        sim::Reset();
        sim::SetVersion(row.platform, row.major, row.minor);
        EXPECT_EQ(kInstallerLockTaken, TakeInstallerLock());
        EXPECT_EQ(std::vector<std::string>{row.name}, sim::machine().mutexes);
        EXPECT_EQ(1u, sim::OpenHandleCount());               // held until the process ends
        EXPECT_EQ(kInstallerLockBusy, TakeInstallerLock());  // the next program: its handle closed
        EXPECT_EQ(1u, sim::OpenHandleCount());
        for (DWORD error : {ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED}) {
            sim::Reset();
            sim::SetVersion(row.platform, row.major, row.minor);
            sim::FailCall("CreateMutexA", error);
            EXPECT_EQ(kInstallerLockBusy, TakeInstallerLock());
            EXPECT_EQ(1, test::Count(sim::machine().calls, "CreateMutexA"));
            EXPECT_EQ(0u, sim::OpenHandleCount());
        }
    }
    // Without the version there is no name that is known to reach every program, and no sign
    // that another program runs: the programs refuse as on a Windows they do not support.
    sim::Reset();
    sim::SetVersionQueryFails(true);
    EXPECT_EQ(kInstallerLockNoVersion, TakeInstallerLock());
    EXPECT_EQ(0, test::Count(sim::machine().calls, "CreateMutexA"));
    sim::Reset();
}

// The question both programs ask at their start, per Windows version: only on the NT side, of the
// service control manager with the access the registrars open it with. Only a refusal for lack
// of rights refuses the user; any other failure lets the program run as it would have.
TEST(DriverRights, AskedOnTheNtSideWhereOnlyAccessDeniedRefuses)
{
    struct Row {
        DWORD platform, major, minor;
        bool nt;
    } rows[] = {
        {1, 4, 0, false}, {1, 4, 10, false}, {2, 4, 0, true}, {2, 5, 0, true}, {2, 5, 1, true}};
    enum Answer { kGranted, kDenied, kFails };
    for (const Row& row : rows) {
        for (Answer answer : {kGranted, kDenied, kFails}) {
            SCOPED_TRACE(::testing::Message() << "platform " << row.platform << ", " << row.major
                                              << "." << row.minor << ", answer " << answer);
            sim::Reset();
            sim::SetVersion(row.platform, row.major, row.minor);
            const WindowsKind kind = GetWindowsKind();
            if (answer == kDenied)
                sim::FailCall("OpenSCManagerA", ERROR_ACCESS_DENIED);
            if (answer == kFails)
                sim::FailCall("OpenSCManagerA", kRpcServerUnavailable);
            EXPECT_EQ(row.nt && answer == kDenied ? 1 : 0, DriverRightsDenied(kind));
            const std::vector<sim::ScmOpen>& opens = sim::machine().scmOpens;
            ASSERT_EQ(row.nt ? 1u : 0u, opens.size());
            if (row.nt) {
                EXPECT_EQ(DWORD(SC_MANAGER_ALL_ACCESS), opens[0].access);
            }
            EXPECT_EQ(0u, sim::OpenHandleCount());
        }
    }
    sim::Reset();
}

// The shell reads both lists up to their second NUL: a buffer that held other text before must
// not leak into the list.
TEST(FileList, EndsInASecondNulAndRefusesWhatDoesNotFit)
{
    char list[16];
    memset(list, 'x', sizeof list);
    EXPECT_EQ(1, FormatFileList(list, sizeof list, "C:\\a\\", "*.*"));
    EXPECT_EQ(0, memcmp(list, "C:\\a\\*.*\0\0", 10));

    memset(list, 'x', sizeof list);
    EXPECT_EQ(1, FormatFileList(list, sizeof list, "0123456789abcd"));  // 14 + 2 NULs
    EXPECT_EQ(0, memcmp(list, "0123456789abcd\0\0", 16));
    EXPECT_EQ(0, FormatFileList(list, sizeof list, "0123456789abcde"));
    EXPECT_EQ(0, memcmp(list, "\0\0", 2));
}

TEST_F(MachineTest, ShellOperationsPassDoubleNulListsAndTheirFlags)
{
    sim::AddFile("C:\\WINDOWS\\system32\\drivers\\windrvr.sys");
    EXPECT_EQ(1,
              ShellCopyFiles(nullptr, "Z:\\pkg\\system\\*.sys", "C:\\WINDOWS\\system32\\drivers"));
    EXPECT_EQ(1, ShellDeleteFile(nullptr, "C:\\WINDOWS\\system32\\drivers\\windrvr.sys"));
    const std::vector<sim::ShellOperation>& ops = sim::machine().shellOperations;
    ASSERT_EQ(2u, ops.size());
    EXPECT_EQ(UINT(FO_COPY), ops[0].function);
    EXPECT_EQ(std::vector<std::string>{"Z:\\pkg\\system\\*.sys"}, ops[0].from);
    EXPECT_EQ(std::vector<std::string>{"C:\\WINDOWS\\system32\\drivers"}, ops[0].to);
    EXPECT_EQ(0x0F10, ops[0].flags);
    EXPECT_EQ("Copying Files...", ops[0].progressTitle);
    EXPECT_EQ(UINT(FO_DELETE), ops[1].function);
    EXPECT_EQ(std::vector<std::string>{"C:\\WINDOWS\\system32\\drivers\\windrvr.sys"}, ops[1].from);
    EXPECT_TRUE(ops[1].to.empty());
    EXPECT_EQ(0x0E10, ops[1].flags);
    EXPECT_EQ(0u, sim::machine().files.count("C:\\WINDOWS\\system32\\drivers\\windrvr.sys"));

    // A shell that reports a failure, and a path too long for a list: 0, and nothing is run for
    // the path.
    sim::machine().shellResult = 0x75;
    EXPECT_EQ(0, ShellDeleteFile(nullptr, "C:\\x"));
    sim::machine().shellResult = 0;
    EXPECT_EQ(0, ShellCopyFiles(nullptr, std::string(1023, 'a').c_str(), "C:\\"));
    EXPECT_EQ(3u, ops.size());
}

}  // namespace
