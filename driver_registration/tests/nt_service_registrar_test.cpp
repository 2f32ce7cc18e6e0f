// CNtServiceRegistrar against the simulated service control manager and registry: the service it
// creates, how each operation reads the manager's answers, and the registry-only entry.
#include "test_support.h"

namespace {

using test::AddService;
using test::FindService;
using test::HasValue;
using test::kImage;

const std::string kKey = std::string(test::kServicesKey) + "WinDriver";

// Operations close what they open: only the manager is left, and the destructor closes it.
class NtService : public test::RegistrarTest<CNtServiceRegistrar, 1> {
protected:
    const char* Image() const override { return kImage; }
};

TEST_F(NtService, ManagerIsOpenedOnTheLocalActiveDatabaseWithFullAccess)
{
    ASSERT_EQ(1u, sim::machine().scmOpens.size());
    EXPECT_EQ("(null)", sim::machine().scmOpens[0].machineName);
    EXPECT_EQ("(null)", sim::machine().scmOpens[0].databaseName);
    EXPECT_EQ(0xF003Fu, sim::machine().scmOpens[0].access);
}

TEST_F(NtService, InstallCreatesAStoppedKernelDriverServiceWithoutGroup)
{
    SetLastError(0xdeadbeef);
    EXPECT_EQ(1, registrar->Install());
    const sim::Service* s = FindService();
    ASSERT_NE(nullptr, s);
    EXPECT_EQ("WinDriver", s->displayName);
    EXPECT_EQ(kImage, s->imagePath);
    EXPECT_EQ(DWORD(SERVICE_KERNEL_DRIVER), s->serviceType);
    EXPECT_EQ(DWORD(SERVICE_AUTO_START), s->startType);
    EXPECT_EQ(DWORD(SERVICE_ERROR_NORMAL), s->errorControl);
    EXPECT_EQ(DWORD(SERVICE_ALL_ACCESS), s->createAccess);
    EXPECT_EQ("", s->loadOrderGroup);
    EXPECT_FALSE(s->tagRequested);
    EXPECT_EQ("", s->dependencies + s->account + s->password);
    EXPECT_EQ(DWORD(SERVICE_STOPPED), s->state);
    EXPECT_STREQ("", registrar->Messages());
    // The manager path writes no registry key of its own.
    EXPECT_FALSE(sim::KeyExists(kKey));
}

// The service-control-manager operations add no text, and never clear what is there.
TEST_F(NtService, ManagerOperationsNeitherAddNorClearText)
{
    AddService(SERVICE_RUNNING);
    registrar->AddWarning("earlier\n");
    EXPECT_EQ(0, registrar->Install());  // exists already
    EXPECT_EQ(0, registrar->Load());     // running already
    EXPECT_STREQ("earlier\n", registrar->Messages());
    sim::machine().services.clear();
    EXPECT_EQ(0, registrar->Remove());
    EXPECT_EQ(0, registrar->Unload());
    EXPECT_STREQ("earlier\n", registrar->Messages());
    EXPECT_EQ(0, registrar->HasError());
}

struct StateCase {
    const char* label;
    DWORD state;  // 0: no service
    int expected;
    DWORD stateAfter;  // 0: the service is gone
    bool marked = false;
    DWORD stopAnswer = SERVICE_STOPPED;
    DWORD startError = 0;
};

// Each case's service, then `op`: its result and the service it leaves, marked for deletion only
// by Remove and never started with arguments; the manager's operations add no text and close
// what they open.
void ByState(CDriverRegistrar* registrar, int (CDriverRegistrar::*op)(),
             std::initializer_list<StateCase> cases)
{
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.label);
        sim::machine().services.clear();
        if (c.state != 0) {
            sim::Service& s = AddService(c.state);
            s.stopAnswer = c.stopAnswer;
            s.startError = c.startError;
            s.markedForDeletion = c.marked;
        }
        SetLastError(0xdeadbeef);
        EXPECT_EQ(c.expected, (registrar->*op)());
        const sim::Service* after = FindService();
        EXPECT_EQ(c.stateAfter, after == nullptr ? 0u : after->state) << "0: no service";
        if (after != nullptr) {
            EXPECT_EQ(op == &CDriverRegistrar::Remove, after->markedForDeletion);
            EXPECT_EQ(0u, after->lastStartArgc);
        }
        EXPECT_STREQ("", registrar->Messages());
        EXPECT_EQ(1u, sim::OpenHandleCount());
    }
}

TEST_F(NtService, UnloadByServiceState)
{
    ByState(registrar.get(), &CDriverRegistrar::Unload,
            {
                {"missing", 0, 0, 0},
                {"stopped (stop answers ERROR_SERVICE_NOT_ACTIVE)", SERVICE_STOPPED, 1,
                 SERVICE_STOPPED},
                {"running, stops", SERVICE_RUNNING, 1, SERVICE_STOPPED},
                {"running, answers stop pending", SERVICE_RUNNING, 0, SERVICE_STOP_PENDING, false,
                 SERVICE_STOP_PENDING},
                {"already stop pending", SERVICE_STOP_PENDING, 0, SERVICE_STOP_PENDING},
                {"marked for deletion, running", SERVICE_RUNNING, 1, 0, true},
            });
}

TEST_F(NtService, LoadByServiceState)
{
    ByState(registrar.get(), &CDriverRegistrar::Load,
            {
                {"missing", 0, 0, 0},
                {"stopped", SERVICE_STOPPED, 1, SERVICE_RUNNING},
                {"running", SERVICE_RUNNING, 0, SERVICE_RUNNING},
                {"driver fails to start", SERVICE_STOPPED, 0, SERVICE_STOPPED, false,
                 SERVICE_STOPPED, ERROR_GEN_FAILURE},
                {"marked for deletion", SERVICE_STOPPED, 0, 0, true},
            });
}

TEST_F(NtService, RemoveByServiceState)
{
    ByState(registrar.get(), &CDriverRegistrar::Remove,
            {
                {"missing", 0, 0, 0},
                {"stopped: gone once its handle is closed", SERVICE_STOPPED, 1, 0},
                {"running: marked, stays until stopped", SERVICE_RUNNING, 1, SERVICE_RUNNING},
                {"already marked for deletion", SERVICE_RUNNING, 1, SERVICE_RUNNING, true},
            });
}

TEST_F(NtService, InstallRefusedForExistingOrMarkedServiceWithoutText)
{
    for (bool marked : {false, true}) {
        sim::machine().services.clear();
        sim::Service& s = AddService(SERVICE_STOPPED);
        s.imagePath = "C:\\old\\windrvr.sys";
        s.markedForDeletion = marked;
        const sim::Snapshot before = sim::TakeSnapshot();
        EXPECT_EQ(0, registrar->Install());
        EXPECT_TRUE(before == sim::TakeSnapshot());
        EXPECT_STREQ("", registrar->Messages());
    }
}

// The sequence setup runs over a running driver: stop, delete (gone once stopped and closed),
// create again, start.
TEST_F(NtService, ReplaceSequenceOverARunningDriver)
{
    AddService(SERVICE_RUNNING).imagePath = "C:\\old\\windrvr.sys";
    EXPECT_EQ(1, registrar->Unload());
    EXPECT_EQ(1, registrar->Remove());
    EXPECT_EQ(nullptr, FindService());
    EXPECT_EQ(1, registrar->Install());
    EXPECT_EQ(1, registrar->Load());
    ASSERT_NE(nullptr, FindService());
    EXPECT_EQ(kImage, FindService()->imagePath);
    EXPECT_EQ(DWORD(SERVICE_RUNNING), FindService()->state);
}

class NtRegistryOnly : public NtService {
protected:
    int RegistryOnly() const override { return 1; }
};

TEST_F(NtRegistryOnly, InstallWritesTheSixValuesInOrder)
{
    registrar->AddError("stale\n");
    EXPECT_EQ(1, registrar->Install());
    EXPECT_STREQ("", registrar->Messages());
    EXPECT_EQ(0, registrar->HasMessages());
    EXPECT_EQ((std::vector<std::string>{"Start", "Type", "ErrorControl", "Group", "ImagePath",
                                        "DisplayName"}),
              test::WriteOrder(kKey));
    EXPECT_TRUE(HasValue(kKey, "Start", REG_DWORD, test::Bytes{2, 0, 0, 0}));
    EXPECT_TRUE(HasValue(kKey, "Type", REG_DWORD, test::Bytes{1, 0, 0, 0}));
    EXPECT_TRUE(HasValue(kKey, "ErrorControl", REG_DWORD, test::Bytes{1, 0, 0, 0}));
    EXPECT_TRUE(HasValue(kKey, "Group", REG_SZ, test::StringBytes("Extended Base")));
    EXPECT_EQ(14u, sim::FindValue(kKey, "Group")->data.size());
    EXPECT_TRUE(HasValue(kKey, "ImagePath", REG_SZ, test::StringBytes(kImage)));
    EXPECT_TRUE(HasValue(kKey, "DisplayName", REG_SZ, test::StringBytes("WinDriver")));
    EXPECT_EQ(6u, sim::machine().registry[kKey].values.size());
    EXPECT_TRUE(sim::machine().services.empty()) << "the registry-only path asked the manager";
}

TEST_F(NtRegistryOnly, InstallOverAnExistingKeyWarnsAndOverwrites)
{
    sim::RegKey& key = sim::machine().registry[kKey];  // the key exists already
    key.values["Start"] = {REG_DWORD, test::Bytes{4, 0, 0, 0}};
    key.values["Extra"] = {REG_SZ, test::StringBytes("kept")};
    EXPECT_EQ(1, registrar->Install());
    EXPECT_STREQ("WinDriver already exists in Win-NT registry\n", registrar->Messages());
    EXPECT_EQ(1, registrar->HasWarning());
    EXPECT_EQ(0, registrar->HasError());
    EXPECT_TRUE(HasValue(kKey, "Start", REG_DWORD, test::Bytes{2, 0, 0, 0}));
    EXPECT_TRUE(HasValue(kKey, "Extra", REG_SZ, test::StringBytes("kept")));
}

TEST_F(NtRegistryOnly, RemoveDeletesTheKeyOrReportsEveryFailureAsMissing)
{
    EXPECT_EQ(0, registrar->Remove());
    EXPECT_STREQ("WinDriver does not exist in Win-NT registry\n", registrar->Messages());
    EXPECT_EQ(1, registrar->HasError());

    // NT refuses to delete a key with subkeys: the same text, and the key stays.
    sim::AddKey(kKey + "\\Enum");
    EXPECT_EQ(0, registrar->Remove());
    EXPECT_STREQ("WinDriver does not exist in Win-NT registry\n", registrar->Messages());
    EXPECT_TRUE(sim::KeyExists(kKey));

    sim::machine().registry.erase(kKey + "\\Enum");
    EXPECT_EQ(1, registrar->Remove());
    EXPECT_STREQ("", registrar->Messages());
    EXPECT_FALSE(sim::KeyExists(kKey));
    EXPECT_TRUE(sim::KeyExists("HKLM\\System\\CurrentControlSet\\Services"));
}

TEST_F(NtRegistryOnly, InstallWithoutKeyReportsTheError)
{
    sim::FailCall("RegCreateKeyExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, registrar->Install());
    EXPECT_STREQ("Cannot open registry key\n", registrar->Messages());
    EXPECT_EQ(1, registrar->HasError());
    EXPECT_TRUE(sim::machine().valueWrites.empty());
}

TEST_F(NtRegistryOnly, LoadAndUnloadStillUseTheManager)
{
    AddService(SERVICE_STOPPED);
    EXPECT_EQ(1, registrar->Load());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), FindService()->state);
    EXPECT_EQ(1, registrar->Unload());
    EXPECT_EQ(DWORD(SERVICE_STOPPED), FindService()->state);
}

// The key path is formed in 1024 characters: "System\CurrentControlSet\Services\" is 34, so a
// 989-character name is the longest whose path still goes to the registry.
TEST_F(NtRegistryOnly, KeyPathsThatDoNotFitAreRefusedBeforeTheRegistry)
{
    test::ExpectLongNamesRefused(registrar.get(), 989, kImage, 1, "Win-NT");
}

}  // namespace
