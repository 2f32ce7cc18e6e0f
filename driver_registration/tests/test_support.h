// Helpers shared by the registrar tests: a fresh simulated machine per test, registry value checks
// that report the caller's line, and byte strings.
#pragma once

#include "driver_registrar.h"

#include <simulated_machine.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace test {

const char kServicesKey[] = "HKLM\\System\\CurrentControlSet\\Services\\";
const char kVxdKey[] = "HKLM\\System\\CurrentControlSet\\Services\\VxD\\";
const char kImage[] = "C:\\WINDOWS\\system32\\drivers\\windrvr.sys";

using Bytes = std::vector<BYTE>;

// The bytes of `text` with its terminating NUL, as REG_SZ data and loader paths carry them.
inline Bytes StringBytes(const std::string& text)
{
    return Bytes(text.c_str(), text.c_str() + text.size() + 1);
}

inline int Count(const std::vector<std::string>& calls, const std::string& function)
{
    return static_cast<int>(std::count(calls.begin(), calls.end(), function));
}

inline std::vector<std::string> CallsSince(size_t first)
{
    const std::vector<std::string>& calls = sim::machine().calls;
    return std::vector<std::string>(calls.begin() + static_cast<long>(first), calls.end());
}

inline ::testing::AssertionResult HasValue(const std::string& key, const std::string& name,
                                           DWORD type, const std::vector<BYTE>& data)
{
    const sim::RegValue* value = sim::FindValue(key, name);
    if (value == nullptr)
        return ::testing::AssertionFailure() << "no value " << name << " under " << key;
    if (value->type != type || value->data != data)
        return ::testing::AssertionFailure()
               << key << ":" << name << " has type " << value->type << " and "
               << ::testing::PrintToString(value->data) << ", expected type " << type << " and "
               << ::testing::PrintToString(data);
    return ::testing::AssertionSuccess();
}

// The value names written under `key`, in the order they were written.
inline std::vector<std::string> WriteOrder(const std::string& key)
{
    std::vector<std::string> names;
    for (const std::string& write : sim::machine().valueWrites)
        if (write.compare(0, key.size() + 1, key + ":") == 0)
            names.push_back(write.substr(key.size() + 1));
    return names;
}

// Install and Remove of a driver whose name has `longest` characters, one more, and 999: both
// refuse with their texts and change nothing, and the registry is asked (once by each) only when
// the key path fits. `system` names the registry in the text ("Win-NT").
inline void ExpectLongNamesRefused(CDriverRegistrar* r, size_t longest, const char* image,
                                   int registryOnly, const std::string& system)
{
    const sim::Snapshot before = sim::TakeSnapshot();
    for (size_t length : {longest, longest + 1, size_t(999)}) {
        SCOPED_TRACE(length);
        const std::string name(length, 'n');
        ASSERT_EQ(1, r->Configure(name.c_str(), "windrvr", 2, image, registryOnly));
        const size_t first = sim::machine().calls.size();
        EXPECT_EQ(0, r->Install());  // the registry refuses names over 255 characters too
        EXPECT_STREQ("Cannot open registry key\n", r->Messages());
        EXPECT_EQ(length <= longest ? 1 : 0, Count(CallsSince(first), "RegCreateKeyExA"));
        EXPECT_EQ(0, r->Remove());
        EXPECT_EQ(name + " does not exist in " + system + " registry\n", r->Messages());
        EXPECT_EQ(length <= longest ? 1 : 0, Count(CallsSince(first), "RegDeleteKeyA"));
        EXPECT_TRUE(sim::machine().valueWrites.empty());
        EXPECT_TRUE(before == sim::TakeSnapshot());
    }
}

// The WinDriver service, at kImage, in `state`; FindService gives null when there is none.
inline sim::Service& AddService(DWORD state)
{
    sim::Service& service = sim::machine().services["WinDriver"];
    service.imagePath = kImage;
    service.state = state;
    return service;
}

inline const sim::Service* FindService()
{
    auto it = sim::machine().services.find("WinDriver");
    return it == sim::machine().services.end() ? nullptr : &it->second;
}

// Every test starts on a fresh machine and ends with every handle closed exactly once.
class MachineTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Reset(); }
    void TearDown() override
    {
        EXPECT_EQ(0u, sim::OpenHandleCount())
            << ::testing::PrintToString(sim::OpenHandleDescriptions());
        EXPECT_EQ(0u, sim::BadCloseCount());
    }

    // A Windows 98 machine as the 9x registrars meet it.
    static void UseWindows98()
    {
        sim::SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
        sim::machine().systemDir = "C:\\WINDOWS\\SYSTEM";
        sim::AddKey("HKLM\\System\\CurrentControlSet\\Services\\VxD");
    }
};

// A registrar of class T configured for WinDriver, on Windows 98 for the 9x classes; at the end of
// each test it holds kOpenAtEnd handles (its manager or loader) unless that is -1.
template <class T, int kOpenAtEnd>
class RegistrarTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        if (!std::is_same<T, CNtServiceRegistrar>::value)
            UseWindows98();
        registrar.reset(new T);
        ASSERT_EQ(1, registrar->Configure("WinDriver", "windrvr", 2, Image(), RegistryOnly()));
    }
    void TearDown() override
    {
        if (kOpenAtEnd != -1) {
            EXPECT_EQ(size_t(kOpenAtEnd), sim::OpenHandleCount())
                << ::testing::PrintToString(sim::OpenHandleDescriptions());
        }
        registrar.reset();
        MachineTest::TearDown();
    }
    virtual const char* Image() const { return nullptr; }
    virtual int RegistryOnly() const { return 0; }
    std::unique_ptr<CDriverRegistrar> registrar;
};

// The one factory of the native tests: a registrar of a class chosen at run time.
enum class Registrar { Nt, Vxd, Win98 };

inline std::unique_ptr<CDriverRegistrar> Make(Registrar r)
{
    if (r == Registrar::Nt)
        return std::unique_ptr<CDriverRegistrar>(new CNtServiceRegistrar);
    if (r == Registrar::Vxd)
        return std::unique_ptr<CDriverRegistrar>(new CVxdRegistrar);
    return std::unique_ptr<CDriverRegistrar>(new CWin98SysRegistrar);
}

inline void PrintTo(Registrar r, std::ostream* os)
{
    *os << (r == Registrar::Nt ? "Nt" : r == Registrar::Vxd ? "Vxd" : "Win98");
}

}  // namespace test
