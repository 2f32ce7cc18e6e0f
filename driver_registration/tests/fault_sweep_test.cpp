// Fault sweep: every registrar operation of every class, in each machine state that matters, is
// run once to learn which Win32 calls it makes, then again with each of those calls failing in
// turn - with every error code the code looks at, and with one it does not. Each time: the result
// follows the class's rules, every handle the operation opened is closed exactly once, and the
// machine changed nowhere but in the driver's own registration.
//
// The calls are enumerated from the stand-in's call log, so a call added to an operation later is
// swept without editing this file.
#include "test_support.h"

#include <string.h>
#include <strings.h>

#include <functional>

namespace {

const char kName[] = "WinDriver";
const char kFile[] = "windrvr";

enum class Kind { NtService, NtRegistryOnly, Vxd, Win98Sys };
const char* const kKindNames[] = {"NtService", "NtRegistryOnly", "Vxd", "Win98Sys"};
const test::Registrar kKindClasses[] = {test::Registrar::Nt, test::Registrar::Nt,
                                        test::Registrar::Vxd, test::Registrar::Win98};

// Machine states an operation meets in the programs' sequences.
struct State {
    const char* name;
    std::function<void()> prepare;
};

std::vector<State> StatesFor(Kind kind)
{
    switch (kind) {
    case Kind::NtService:
        return {
            {"absent", [] {}},
            {"stopped", [] { test::AddService(SERVICE_STOPPED); }},
            {"running", [] { test::AddService(SERVICE_RUNNING); }},
            {"stop pending",
             [] { test::AddService(SERVICE_RUNNING).stopAnswer = SERVICE_STOP_PENDING; }},
            {"marked for deletion",
             [] { sim::machine().services[kName].markedForDeletion = true; }},
        };
    case Kind::NtRegistryOnly:
    case Kind::Win98Sys:
        return {
            {"no key", [] {}},
            {"key exists", [] { sim::AddKey(std::string(test::kServicesKey) + kName); }},
        };
    case Kind::Vxd:
        return {
            {"not loaded", [] {}},
            {"loaded once",
             [] {
                 sim::AddKey(std::string(test::kVxdKey) + kName);
                 sim::machine().vxd.loaded["WINDRVR"] = 1;
             }},
            {"loaded three times", [] { sim::machine().vxd.loaded["WINDRVR"] = 3; }},
        };
    }
    return {};
}

enum class Op { Configure, Install, Remove, Load, Unload, Destroy };
const char* const kOpNames[] = {"Configure", "Install", "Remove", "Load", "Unload", "Destroy"};
// The operations that are member calls, by Op; Configure and Destroy are run apart.
int (CDriverRegistrar::*const kOpCalls[])() = {nullptr, &CDriverRegistrar::Install,
                                               &CDriverRegistrar::Remove, &CDriverRegistrar::Load,
                                               &CDriverRegistrar::Unload};

// One run of an operation: the registrar is constructed and configured before the operation and
// destroyed after it, except for the operations that are those steps themselves.
struct OpRun {
    int result = -1;
    std::vector<std::string> calls;
    sim::Snapshot before, after;
    size_t handlesBefore = 0, handlesAfter = 0;
};

OpRun Perform(Kind kind, const State& state, Op op, const std::function<void(size_t)>& arm)
{
    sim::Reset();
    if (kind == Kind::Vxd || kind == Kind::Win98Sys) {
        sim::SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
        sim::AddKey("HKLM\\System\\CurrentControlSet\\Services\\VxD");  // every 9x system has it
    }
    state.prepare();

    OpRun run;
    run.before = sim::TakeSnapshot();
    run.handlesBefore = sim::OpenHandleCount();
    const int registryOnly = kind == Kind::NtRegistryOnly ? 1 : 0;

    std::unique_ptr<CDriverRegistrar> registrar;
    if (op != Op::Configure) {
        registrar = test::Make(kKindClasses[static_cast<int>(kind)]);
        EXPECT_EQ(1, registrar->Configure(kName, kFile, 2, test::kImage, registryOnly));
    }
    const size_t first = sim::machine().calls.size();
    arm(first);
    if (op == Op::Configure) {
        registrar = test::Make(kKindClasses[static_cast<int>(kind)]);
        run.result = registrar->Configure(kName, kFile, 2, nullptr, registryOnly);
    } else if (op == Op::Destroy) {
        registrar.reset();
        run.result = 1;
    } else {
        int (CDriverRegistrar::*call)() = kOpCalls[static_cast<int>(op)];
        run.result = (registrar.get()->*call)();
    }
    if (registrar) {
        EXPECT_LT(strlen(registrar->Messages()), 2000u) << "the text ran past its buffer";
    }
    registrar.reset();
    run.calls = test::CallsSince(first);
    run.after = sim::TakeSnapshot();
    run.handlesAfter = sim::OpenHandleCount();
    sim::ClearFailures();
    return run;
}

// Calls whose result the registrars never consult. Sleep, which only waits, is never failed.
bool IsUnconsulted(const std::string& function)
{
    return function == "RegSetValueExA" || function == "RegCloseKey" ||
           function == "CloseServiceHandle" || function == "CloseHandle";
}

// The error codes a call's failure is swept with: those the registrars look at for that call, and
// ERROR_ACCESS_DENIED, which none of them looks at.
std::vector<DWORD> ErrorsFor(const std::string& function)
{
    if (function == "DeleteService")
        return {ERROR_SERVICE_MARKED_FOR_DELETE, ERROR_ACCESS_DENIED};
    if (function == "ControlService")
        return {ERROR_SERVICE_NOT_ACTIVE, ERROR_ACCESS_DENIED};
    return {ERROR_ACCESS_DENIED};
}

// The result the class's rules give when call `index` of the dry run fails with `error`.
int ExpectedResult(Kind kind, Op op, const OpRun& dry, size_t index, DWORD error)
{
    const std::string& function = dry.calls[index];
    if (op == Op::Destroy || IsUnconsulted(function))
        return dry.result;
    if (function == "DeleteService" && error == ERROR_SERVICE_MARKED_FOR_DELETE)
        return 1;
    if (kind == Kind::Vxd && op == Op::Unload && function == "DeviceIoControl") {
        // Requests before this one were accepted; the loop stops at the failing one.
        const int accepted = static_cast<int>(
            std::count(dry.calls.begin(), dry.calls.begin() + index, "DeviceIoControl"));
        return accepted >= 1 && accepted < CVxdRegistrar::kMaxUnloadRequests ? 1 : 0;
    }
    // ControlService answering ERROR_SERVICE_NOT_ACTIVE counts as stopped only with a status that
    // says SERVICE_STOPPED; a failed call leaves the status as the registrar initialised it.
    return 0;
}

// Registry keys, services and loader entries other than the driver's own.
sim::Snapshot Foreign(sim::Snapshot snapshot)
{
    for (auto it = snapshot.registry.begin(); it != snapshot.registry.end();) {
        const std::string& path = it->first;
        bool own = path.size() >= 9 && strcasecmp(path.c_str() + path.size() - 9, "WinDriver") == 0;
        it = own ? snapshot.registry.erase(it) : std::next(it);
    }
    snapshot.services.erase(kName);
    snapshot.loaded.erase("WINDRVR");
    return snapshot;
}

class FaultSweep : public ::testing::TestWithParam<std::tuple<Kind, Op>> {};

TEST_P(FaultSweep, EveryCallFailingInTurn)
{
    const auto [kind, op] = GetParam();
    int injected = 0;
    size_t callsMade = 0;
    for (const State& state : StatesFor(kind)) {
        const OpRun dry = Perform(kind, state, op, [](size_t) {});
        callsMade += dry.calls.size();
        ASSERT_EQ(dry.handlesBefore, dry.handlesAfter) << state.name;
        ASSERT_EQ(0u, sim::BadCloseCount()) << state.name;

        for (size_t index = 0; index < dry.calls.size(); ++index) {
            const std::string& function = dry.calls[index];
            if (function == "Sleep")
                continue;
            for (DWORD error : ErrorsFor(function)) {
                SCOPED_TRACE(std::string(kKindNames[static_cast<int>(kind)]) + " " +
                             kOpNames[static_cast<int>(op)] + ", " + state.name + ": call " +
                             std::to_string(index) + " " + function + " fails with " +
                             std::to_string(error));
                const OpRun run = Perform(
                    kind, state, op, [&](size_t first) { sim::FailCallAt(first + index, error); });
                ASSERT_LT(index, run.calls.size()) << "the armed fault never fired";
                EXPECT_EQ(function, run.calls[index]) << "not the call the dry run made there";
                ++injected;
                EXPECT_EQ(ExpectedResult(kind, op, dry, index, error), run.result);
                EXPECT_EQ(run.handlesBefore, run.handlesAfter)
                    << ::testing::PrintToString(sim::OpenHandleDescriptions());
                EXPECT_EQ(0u, sim::BadCloseCount());
                EXPECT_TRUE(Foreign(run.before) == Foreign(run.after))
                    << "something beyond the driver's own registration changed";
                if (op == Op::Configure && run.result == 0) {
                    EXPECT_TRUE(run.before == run.after)
                        << "a refused Configure changed the machine";
                }
            }
        }
    }
    // The floor. The Windows 98 .SYS registrar's Configure, Load, Unload and destruction call
    // nothing (no manager, no loading without a reboot): for them the floor is that they stay so,
    // since a call added to them would be swept here at once.
    if (kind == Kind::Win98Sys && op != Op::Install && op != Op::Remove) {
        EXPECT_EQ(0u, callsMade) << "a call to sweep: the operation now makes Win32 calls";
    } else {
        EXPECT_GT(injected, 0)
            << "no fault was injected: the sweep would pass on the dry run alone";
    }
}

std::string SweepName(const ::testing::TestParamInfo<std::tuple<Kind, Op>>& info)
{
    return std::string(kKindNames[static_cast<int>(std::get<0>(info.param))]) + "_" +
           kOpNames[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(AllRegistrars, FaultSweep,
                         ::testing::Combine(::testing::Values(Kind::NtService, Kind::NtRegistryOnly,
                                                              Kind::Vxd, Kind::Win98Sys),
                                            ::testing::Values(Op::Configure, Op::Install,
                                                              Op::Remove, Op::Load, Op::Unload,
                                                              Op::Destroy)),
                         SweepName);

// The factory and the version query under the same sweep: a failing call yields no object or
// kind 0, never a crash or a leaked handle.
TEST(FaultSweepFactory, FailingCallsYieldNothingOrARefusingRegistrar)
{
    const struct Platform {
        DWORD id, major, minor;
        int preferVxd;
    } platforms[] = {{2, 5, 1, 0}, {1, 4, 0, 1}, {1, 4, 10, 0}};
    for (const Platform& p : platforms) {
        int injected = 0;
        sim::Reset();
        sim::SetVersion(p.id, p.major, p.minor);
        const size_t first = sim::machine().calls.size();
        delete CreateDriverRegistrar(p.preferVxd);
        const std::vector<std::string> calls = test::CallsSince(first);
        for (size_t index = 0; index < calls.size(); ++index) {
            if (calls[index] == "Sleep" || IsUnconsulted(calls[index]))
                continue;
            SCOPED_TRACE(calls[index]);
            sim::Reset();
            sim::SetVersion(p.id, p.major, p.minor);
            size_t base = sim::machine().calls.size();
            sim::FailCallAt(base + index, ERROR_ACCESS_DENIED);
            CDriverRegistrar* registrar = CreateDriverRegistrar(p.preferVxd);
            const std::vector<std::string>& log = sim::machine().calls;
            ASSERT_LT(base + index, log.size()) << "the armed fault never fired";
            EXPECT_EQ(calls[index], log[base + index]);
            ++injected;
            if (registrar != nullptr) {
                // Only the manager can have failed: the registrar must refuse its configuration.
                EXPECT_EQ(0, registrar->Configure(kName, kFile, 2, test::kImage, 0));
                EXPECT_STREQ("Cannot open service control manager\n", registrar->Messages());
                delete registrar;
            }
            EXPECT_EQ(0u, sim::OpenHandleCount());
            EXPECT_EQ(0u, sim::BadCloseCount());
            sim::ClearFailures();
        }
        // Windows 98 with .SYS drivers opens nothing, but its version query is swept too.
        EXPECT_GT(injected, 0) << "platform " << p.major << "." << p.minor << ": no fault injected";
    }
}

}  // namespace
