// A registrar of each class, made by CreateDriverRegistrar on a simulated Windows 95, 98, NT 4.0
// or XP, configured with any names and image path, then driven through any sequence of its
// operations, message appends and directly set names, with single Win32 calls failing now and
// then. Properties, after every step:
//  - the message text stays NUL-terminated inside its 2000 characters, and the flags agree;
//  - a registrar whose Configure did not succeed changes nothing on the machine;
//  - the registry keys and services that change are the driver's own: its key under Services
//    (or Services\VxD) and what lies below it; neighbours stay as they were;
//  - Configure takes no name or file base name with a backslash, which would lead out of the
//    driver's own key (so a driver named "VxD\Other" cannot delete another driver's VxD key);
//  - no handle but the manager's stays open, nothing is closed twice, and deleting the registrar
//    leaves no handle open.
#include "driver_registrar.h"
#include "fuzz_input.h"

#include <set>

namespace {

const char kServices[] = "HKLM\\System\\CurrentControlSet\\Services\\";
const DWORD kErrors[] = {ERROR_ACCESS_DENIED,
                         ERROR_SERVICE_MARKED_FOR_DELETE,
                         ERROR_SERVICE_NOT_ACTIVE,
                         ERROR_SERVICE_EXISTS,
                         ERROR_SERVICE_DOES_NOT_EXIST,
                         ERROR_FILE_NOT_FOUND,
                         ERROR_GEN_FAILURE,
                         0xDEADBEEF};

// Windows 95, 98, NT 4.0 and XP: platform, major and minor version.
const DWORD kVersions[][3] = {{1, 4, 0}, {1, 4, 10}, {2, 4, 0}, {2, 5, 1}};
int (CDriverRegistrar::*const kOperations[])() = {
    &CDriverRegistrar::Install, &CDriverRegistrar::Remove, &CDriverRegistrar::Load,
    &CDriverRegistrar::Unload};

typedef std::set<std::string, sim::NoCase> NameSet;

// A key that an operation of a registrar that held one of `names` may create, change or delete:
// the driver's key, a key on the way to it, or (deleted along with it) one below it.
bool IsOwnKey(const std::string& key, const NameSet& names)
{
    for (const std::string& name : names)
        for (const std::string& own : {kServices + name, kServices + std::string("VxD\\") + name})
            if (sim::detail::EqualNoCase(key, own) ||
                sim::detail::StartsWithNoCase(key, own + "\\") ||
                sim::detail::StartsWithNoCase(own, key + "\\"))
                return true;
    return false;
}

// Every registry key or service added, changed or removed is one that `isOwn` allows.
template <typename Map, typename IsOwn>
void CheckChanges(const Map& before, const Map& after, IsOwn isOwn)
{
    for (const auto& entry : before) {
        auto found = after.find(entry.first);
        if (found == after.end() || !(found->second == entry.second))
            FUZZ_CHECK(isOwn(entry.first));
    }
    for (const auto& entry : after)
        if (before.count(entry.first) == 0)
            FUZZ_CHECK(isOwn(entry.first));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    uint8_t choice = input.Byte();
    DWORD startType = input.Byte();
    std::string name = input.Field();
    std::string fileName = input.Field();
    std::string imagePath = input.Field();
    std::string text = input.Field();

    sim::Reset();
    const DWORD* version = kVersions[choice & 3];
    sim::SetVersion(version[0], version[1], version[2]);
    const int preferVxd = (choice >> 2) & 1;
    const int registryOnly = (choice >> 3) & 1;
    const bool nullImagePath = (choice & 0x10) != 0;
    sim::machine().scmAvailable = (choice & 0x20) == 0;
    sim::machine().vxd.present = (choice & 0x20) == 0;
    sim::machine().vxd.acceptEveryUnload = (choice & 0x40) != 0;
    sim::machine().systemDir = (choice & 0x80) ? "C:\\WINDOWS\\SYSTEM\\" : "C:\\WINDOWS\\SYSTEM";
    // Neighbours that no operation of this registrar may touch.
    for (const char* key : {"Other", "VxD", "VxD\\Other"})
        sim::machine().registry[kServices + std::string(key)];
    sim::machine().services["Other"].imagePath = "C:\\other.sys";

    CDriverRegistrar* registrar = CreateDriverRegistrar(preferVxd);
    if (registrar == NULL) {
        FUZZ_CHECK(version[0] == VER_PLATFORM_WIN32_NT && preferVxd);
        return 0;
    }

    NameSet names;  // every name the registrar has held: its keys and services may change
    bool namesSetDirectly = false;
    auto configure = [&]() {
        Exact n(name), f(fileName), p(imagePath);
        const std::string oldName = registrar->Name();
        int result =
            registrar->Configure(n, f, startType, nullImagePath ? NULL : (char*)p, registryOnly);
        if (!result) {
            // Refused: the earlier configuration stays, or none is left at all.
            FUZZ_CHECK(oldName == registrar->Name() || registrar->Name()[0] == '\0');
        } else {
            // Names are taken whole or not at all.
            FUZZ_CHECK(name == registrar->Name() && fileName == registrar->FileName());
            if (!nullImagePath)
                FUZZ_CHECK(imagePath == registrar->ImagePath());
        }
    };
    configure();

    for (int steps = 0; !input.Empty() && steps < 32; ++steps) {
        if (registrar->Name()[0] != '\0')
            names.insert(registrar->Name());
        const bool configured = registrar->Name()[0] != '\0';
        sim::Snapshot before = sim::TakeSnapshot();
        uint8_t op = input.Byte();
        int result = -1;
        switch (op % 12) {
        default:  // 0 to 3: Install, Remove, Load, Unload
            result = (registrar->*kOperations[op % 12])();
            break;
        case 4:
            registrar->AddError(text.c_str());
            FUZZ_CHECK(registrar->HasError() == 1);
            break;
        case 5:
            registrar->AddWarning(text.c_str());
            FUZZ_CHECK(registrar->HasWarning() == 1);
            break;
        case 6:
            registrar->ClearMessages();
            FUZZ_CHECK(registrar->Messages()[0] == '\0' && registrar->HasMessages() == 0);
            break;
        case 7:
            configure();
            break;
        case 8: {
            // Set directly, as the classes do on themselves: no checks but the fields' bounds.
            namesSetDirectly = true;
            Exact n(text), f(name);
            registrar->SetNames(n, f, (op & 0x10) ? NULL : (char*)n);
            FUZZ_CHECK(strnlen(registrar->Name(), CDriverRegistrar::kNameSize) <
                       CDriverRegistrar::kNameSize);
            FUZZ_CHECK(strnlen(registrar->ImagePath(), CDriverRegistrar::kNameSize) <
                       CDriverRegistrar::kNameSize);
            break;
        }
        case 9:
            sim::FailCallAt(sim::machine().calls.size() + (op >> 6), kErrors[(op >> 3) & 7]);
            break;
        case 10:
            for (int i = 0; i < 40; ++i)
                registrar->AddWarning(text.c_str());
            break;
        case 11:
            sim::machine().vxd.acceptEveryUnload = !sim::machine().vxd.acceptEveryUnload;
            break;
        }
        if (registrar->Name()[0] != '\0')
            names.insert(registrar->Name());
        sim::Snapshot after = sim::TakeSnapshot();
        if (op % 12 <= 3) {
            FUZZ_CHECK(result == 0 || result == 1);
            if (!configured) {
                FUZZ_CHECK(result == 0);
                FUZZ_CHECK(before == after);
            }
        }
        CheckChanges(before.registry, after.registry,
                     [&](const std::string& key) { return IsOwnKey(key, names); });
        CheckChanges(before.services, after.services,
                     [&](const std::string& service) { return names.count(service) == 1; });
        FUZZ_CHECK(before.files == after.files);
        if (!namesSetDirectly) {
            FUZZ_CHECK(strchr(registrar->Name(), '\\') == NULL);
            FUZZ_CHECK(strchr(registrar->FileName(), '\\') == NULL);
            // The neighbours, unless the driver bears their name.
            if (names.count("Other") == 0 && names.count("VxD") == 0) {
                FUZZ_CHECK(after.registry.count(std::string(kServices) + "VxD\\Other") == 1);
                FUZZ_CHECK(after.registry.count(std::string(kServices) + "Other") == 1);
                FUZZ_CHECK(after.services.count("Other") == 1);
            }
        }
        FUZZ_CHECK(strnlen(registrar->Messages(), CDriverRegistrar::kMessagesSize) <
                   CDriverRegistrar::kMessagesSize);
        FUZZ_CHECK(registrar->HasMessages() == (registrar->HasError() || registrar->HasWarning()));
        FUZZ_CHECK(sim::OpenHandleCount() <= 1);
        FUZZ_CHECK(sim::BadCloseCount() == 0);
    }

    delete registrar;
    FUZZ_CHECK(sim::OpenHandleCount() == 0);
    FUZZ_CHECK(sim::BadCloseCount() == 0);
    return 0;
}
