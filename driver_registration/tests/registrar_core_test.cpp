// What the three registrar classes share: construction without a manager, the message text and its
// limit, Configure's refusals and default image paths, and the manager handle's lifetime.
#include "test_support.h"

#include <string.h>

namespace {

using test::MachineTest;
using test::Make;

using Class = test::Registrar;

class NoManager : public MachineTest {};

TEST_F(NoManager, RefusesConfigureAndEveryOperationWithoutTouchingTheMachine)
{
    const struct Case {
        const char* label;
        void (*breakManager)();
        Class made;
        const char* closeCall;
    } cases[] = {
        {"service control manager refused", [] { sim::machine().scmAvailable = false; }, Class::Nt,
         "CloseServiceHandle"},
        {"VxD loader missing",
         [] {
             sim::SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 0);
             sim::machine().vxd.present = false;
         },
         Class::Vxd, "CloseHandle"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        sim::Reset();
        c.breakManager();
        const sim::Snapshot before = sim::TakeSnapshot();
        std::unique_ptr<CDriverRegistrar> r = Make(c.made);
        EXPECT_STREQ("Cannot open service control manager\n", r->Messages());
        EXPECT_EQ(1, r->HasError());
        EXPECT_EQ(0, r->HasWarning());
        EXPECT_EQ(1, r->HasMessages());
        EXPECT_EQ(0, r->Configure("WinDriver", "windrvr", 2, "C:\\x\\windrvr.sys", 0));
        EXPECT_STREQ("", r->Name());
        EXPECT_EQ(0, r->Install());
        EXPECT_EQ(0, r->Remove());
        EXPECT_EQ(0, r->Load());
        EXPECT_EQ(0, r->Unload());
        const size_t first = sim::machine().calls.size();
        r.reset();
        EXPECT_EQ(0, test::Count(test::CallsSince(first), c.closeCall))
            << "closed a manager it never had";
        EXPECT_TRUE(before == sim::TakeSnapshot());
        EXPECT_EQ(0u, sim::OpenHandleCount());
        EXPECT_EQ(0u, sim::BadCloseCount());
    }
}

// The manager is closed once, by the destructor, through the base pointer; Windows 98's registrar
// has none and closes nothing.
TEST_F(NoManager, DestructorClosesTheManagerItOpenedExactlyOnce)
{
    struct Row {
        Class c;
        const char* closeCall;
        int opened;
    } rows[] = {{Class::Nt, "CloseServiceHandle", 1},
                {Class::Vxd, "CloseHandle", 1},
                {Class::Win98, "CloseHandle", 0}};
    for (const Row& row : rows) {
        sim::Reset();
        std::unique_ptr<CDriverRegistrar> r = Make(row.c);
        EXPECT_EQ(static_cast<size_t>(row.opened), sim::OpenHandleCount());
        ASSERT_EQ(1, r->Configure("WinDriver", "windrvr", 2, "C:\\d\\windrvr.sys", 0));
        r->Install();
        r->Load();
        r->Unload();
        r->Remove();
        EXPECT_EQ(static_cast<size_t>(row.opened), sim::OpenHandleCount())
            << "an operation closed the manager";
        const size_t first = sim::machine().calls.size();
        r.reset();
        std::vector<std::string> calls = test::CallsSince(first);
        EXPECT_EQ(row.opened, test::Count(calls, row.closeCall));
        EXPECT_EQ(0, test::Count(calls, "CloseServiceHandle") + test::Count(calls, "CloseHandle") -
                         row.opened);
        EXPECT_EQ(0u, sim::OpenHandleCount());
        EXPECT_EQ(0u, sim::BadCloseCount());
    }
}

class Messages : public MachineTest {};

TEST_F(Messages, AppendWithoutSeparatorAndClear)
{
    std::unique_ptr<CDriverRegistrar> r = Make(Class::Win98);
    r->AddWarning("first\n");
    r->AddWarning("second");
    EXPECT_STREQ("first\nsecond", r->Messages());
    EXPECT_EQ(1, r->HasWarning());
    EXPECT_EQ(0, r->HasError());
    EXPECT_EQ(1, r->HasMessages());
    r->ClearMessages();
    EXPECT_STREQ("", r->Messages());
    EXPECT_EQ(0, r->HasWarning() + r->HasError() + r->HasMessages());
    r->AddError("e");
    EXPECT_EQ(1, r->HasError());
    EXPECT_EQ(0, r->HasWarning());
}

// The field behind the 2000-character text holds a guard value: text past the buffer would
// overwrite it (ASan cannot see an overflow that stays inside the object).
TEST_F(Messages, TextPastTheLimitIsNeverWrittenBehindTheBufferAndStillSetsTheFlag)
{
    const int kGuard = 0x5A5A5A5A;
    struct Row {
        size_t already, added;
        bool error;
    } rows[] = {{1990, 100, true}, {0, 5000, false}, {1999, 1, true}, {1998, 1, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.already << " + " << row.added);
        std::unique_ptr<CDriverRegistrar> r = Make(Class::Win98);
        ASSERT_EQ(1, r->Configure("WinDriver", "windrvr", 2, nullptr, kGuard));
        r->ClearMessages();
        const std::string first(row.already, 'a'), second(row.added, 'b');
        if (!first.empty())
            r->AddWarning(first.c_str());
        if (row.error)
            r->AddError(second.c_str());
        else
            r->AddWarning(second.c_str());
        const std::string text = r->Messages();
        const size_t expected = std::min<size_t>(row.already + row.added, 1999);
        EXPECT_EQ(expected, text.size());
        EXPECT_EQ((first + second).substr(0, expected), text);
        EXPECT_EQ(row.error ? 1 : 0, r->HasError());
        EXPECT_EQ(1, r->HasMessages());
        EXPECT_EQ(kGuard, r->RegistryOnly());
        EXPECT_EQ(2u, r->StartType());
    }
}

class ConfigureRefusals : public MachineTest, public ::testing::WithParamInterface<Class> {};

// A refused configuration stores nothing, and every operation then refuses without touching the
// machine, whatever the state it finds.
TEST_P(ConfigureRefusals, RefusedNamesLeaveAnInertRegistrar)
{
    struct Case {
        const char* label;
        std::string name, fileName, imagePath;
        int accepted;
    } cases[] = {
        {"999-character name", std::string(999, 'n'), "windrvr", "C:\\d\\w.sys", 1},
        {"1000-character name", std::string(1000, 'n'), "windrvr", "C:\\d\\w.sys", 0},
        {"1000-character file name", "WinDriver", std::string(1000, 'f'), "C:\\d\\w.sys", 0},
        {"999-character image path", "WinDriver", "windrvr", "C:\\" + std::string(996, 'p'), 1},
        {"1000-character image path", "WinDriver", "windrvr", "C:\\" + std::string(997, 'p'), 0},
        {"empty name", "", "windrvr", "C:\\d\\w.sys", 0},
        {"name leaving its key", "..\\VxD", "windrvr", "C:\\d\\w.sys", 0},
        {"name naming a subkey", "VxD\\WinDriver", "windrvr", "C:\\d\\w.sys", 0},
        {"file name with a backslash", "WinDriver", "x\\windrvr", "C:\\d\\w.sys", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        sim::Reset();
        if (GetParam() != Class::Nt)
            UseWindows98();
        sim::machine().vxd.loaded["WINDRVR"] = 1;
        sim::machine().services["WinDriver"].state = SERVICE_RUNNING;
        std::unique_ptr<CDriverRegistrar> r = Make(GetParam());
        const sim::Snapshot before = sim::TakeSnapshot();
        EXPECT_EQ(c.accepted,
                  r->Configure(c.name.c_str(), c.fileName.c_str(), 2, c.imagePath.c_str(), 0));
        if (c.accepted) {
            EXPECT_EQ(c.name, r->Name());
            EXPECT_EQ(c.imagePath, r->ImagePath());
            continue;
        }
        EXPECT_STREQ("", r->Name());
        EXPECT_STREQ("", r->FileName());
        const size_t first = sim::machine().calls.size();
        EXPECT_EQ(0, r->Install());
        EXPECT_EQ(0, r->Remove());
        EXPECT_EQ(0, r->Load());
        EXPECT_EQ(0, r->Unload());
        EXPECT_TRUE(before == sim::TakeSnapshot());
        EXPECT_EQ(std::vector<std::string>(), test::CallsSince(first))
            << "an unconfigured registrar called the system";
        r.reset();
        EXPECT_EQ(0u, sim::OpenHandleCount());
    }
}

// A refused second configuration must not leave the first driver's names in force: the caller
// meant another driver, and Remove would delete the first one's registration.
TEST_P(ConfigureRefusals, RefusedReconfigurationDoesNotActOnThePreviousDriver)
{
    if (GetParam() != Class::Nt)
        UseWindows98();
    std::unique_ptr<CDriverRegistrar> r = Make(GetParam());
    ASSERT_EQ(1, r->Configure("WinDriver", "windrvr", 2, "C:\\d\\windrvr.sys", 0));
    ASSERT_EQ(1, r->Install());
    const sim::Snapshot before = sim::TakeSnapshot();
    EXPECT_EQ(0, r->Configure(std::string(1000, 'n').c_str(), "other", 2, nullptr, 0));
    EXPECT_EQ(0, r->Remove());
    EXPECT_TRUE(before == sim::TakeSnapshot()) << "the refused Configure removed WinDriver";
}

INSTANTIATE_TEST_SUITE_P(AllClasses, ConfigureRefusals,
                         ::testing::Values(Class::Nt, Class::Vxd, Class::Win98),
                         ::testing::PrintToStringParamName());

class DefaultImagePath : public MachineTest {};

TEST_F(DefaultImagePath, PerClass)
{
    struct Row {
        Class c;
        std::string systemDir, fileName, expected;  // expected empty: Configure refuses
    } rows[] = {
        {Class::Nt, "C:\\WINNT\\system32", "windrvr",
         "\\SystemRoot\\System32\\drivers\\windrvr.SYS"},
        {Class::Win98, "C:\\WINDOWS\\SYSTEM", "windrvr",
         "\\SystemRoot\\System32\\drivers\\windrvr.SYS"},
        {Class::Vxd, "C:\\WINDOWS\\SYSTEM", "windrvr", "C:\\WINDOWS\\SYSTEM\\Vmm32\\windrvr.VXD"},
        {Class::Vxd, "C:\\WINDOWS\\SYSTEM", "talvenkp", "C:\\WINDOWS\\SYSTEM\\Vmm32\\talvenkp.VXD"},
        {Class::Vxd, "C:\\", "windrvr", "C:\\Vmm32\\windrvr.VXD"},
        {Class::Vxd, "C:\\WINDOWS\\SYSTEM\\", "windrvr", "C:\\WINDOWS\\SYSTEM\\Vmm32\\windrvr.VXD"},
        // "%sVmm32\%s.VXD" is 18 characters beyond a directory without its backslash.
        {Class::Vxd, "C:\\" + std::string(978, 's'), "windrvr",
         "C:\\" + std::string(978, 's') + "\\Vmm32\\windrvr.VXD"},
        {Class::Vxd, "C:\\" + std::string(979, 's'), "windrvr", ""},
        {Class::Vxd, "C:\\" + std::string(1100, 's'), "windrvr", ""},
        // "\SystemRoot\System32\drivers\%s.SYS" is 33 characters beyond the file name.
        {Class::Nt, "", std::string(966, 'f'),
         "\\SystemRoot\\System32\\drivers\\" + std::string(966, 'f') + ".SYS"},
        {Class::Win98, "", std::string(967, 'f'), ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        sim::Reset();
        sim::machine().systemDir = row.systemDir;
        std::unique_ptr<CDriverRegistrar> r = Make(row.c);
        const int result = r->Configure("WinDriver", row.fileName.c_str(), 2, nullptr, 0);
        EXPECT_EQ(row.expected.empty() ? 0 : 1, result);
        EXPECT_EQ(row.expected, r->ImagePath());
        EXPECT_LT(strlen(r->ImagePath()), 1000u);
    }
}

TEST_F(DefaultImagePath, ExplicitPathIsStoredUnchangedAndSystemDirectoryFailureRefuses)
{
    UseWindows98();
    std::unique_ptr<CDriverRegistrar> r = Make(Class::Vxd);
    ASSERT_EQ(1, r->Configure("WinDriver", "windrvr", 2, "d:\\Some Dir\\windrvr.vxd", 0));
    EXPECT_STREQ("d:\\Some Dir\\windrvr.vxd", r->ImagePath());
    EXPECT_EQ(0, test::Count(sim::machine().calls, "GetSystemDirectoryA"));

    std::unique_ptr<CDriverRegistrar> other = Make(Class::Vxd);
    sim::FailCall("GetSystemDirectoryA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, other->Configure("WinDriver", "windrvr", 2, nullptr, 0));
    EXPECT_EQ(0, other->Load());
    EXPECT_TRUE(sim::machine().vxd.requests.empty());
}

}  // namespace
