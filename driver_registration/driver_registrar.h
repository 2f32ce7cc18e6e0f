// Driver registration library: registers, starts, stops and removes one kernel-mode driver by the
// method of the running Windows platform (NT services, Windows 9x VxDs, Windows 98 .SYS keys), and
// classifies the running Windows version with the driver locations that follow from it.
#pragma once

#include <windows.h>

#include <stddef.h>

// ---------------------------------------------------------------------------------------------
// Registrars

// The registrar of one kernel driver. Created by CreateDriverRegistrar, configured once, used for
// one short sequence of Install/Remove/Load/Unload, then deleted through the virtual destructor.
// Operations answer 1 for success and 0 for failure; some leave error or warning text behind.
class CDriverRegistrar {
public:
    virtual ~CDriverRegistrar();

    // 1 when the registrar took the configuration. 0 when it has no manager, and also for names
    // it cannot register safely (empty, longer than 999 characters, or a name or file base name
    // holding a backslash, which would reach outside the driver's own registry key).
    virtual int Configure(const char* name, const char* fileName, DWORD startType,
                          const char* imagePath, int registryOnly);
    virtual int Install() = 0;
    virtual int Remove() = 0;
    virtual int Load() = 0;
    virtual int Unload() = 0;
    virtual int HasError();
    virtual int HasWarning();
    virtual int HasMessages();
    virtual void AddError(const char* text);
    virtual void AddWarning(const char* text);
    virtual void ClearMessages();
    virtual void SetNames(const char* name, const char* fileName, const char* imagePath);
    virtual int OpenManager() = 0;
    virtual void CloseManager() = 0;

    // Read-only views for an owner that wants the text or the configuration (neither program does).
    const char* Messages() const { return m_messages; }
    const char* Name() const { return m_name; }
    const char* FileName() const { return m_fileName; }
    const char* ImagePath() const { return m_imagePath; }
    DWORD StartType() const { return m_startType; }
    int RegistryOnly() const { return m_registryOnly; }
    HANDLE Manager() const { return m_manager; }

    // Registrars come from the heap; an allocation that fails yields no object instead of aborting.
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* block) noexcept;

    enum { kMessagesSize = 2000, kNameSize = 1000, kKeyPathSize = 1024 };

    // Where the drivers are registered below HKEY_LOCAL_MACHINE: the NT family's and Windows 98's
    // service keys, and the VxD keys of Windows 95/98.
    static const char kServicesKey[];
    static const char kVxdKey[];

protected:
    CDriverRegistrar();

    // A registrar whose Configure has not succeeded has an empty name; every driver operation
    // refuses it without touching any registration.
    int IsConfigured() const { return m_name[0] != '\0'; }

    // The default image path of a .SYS driver: "\SystemRoot\System32\drivers\<fileName>.SYS".
    void SetSystemRootImagePath(const char* fileName);

    // The key path "<prefix><m_name>" into `path` (kKeyPathSize). 0 when it does not fit.
    int FormatKeyPath(char* path, const char* prefix) const;

    // The registry entries of the 9x classes and of the NT registry-only path share these steps.
    // CreateDriverKey: ClearMessages, create or open HKLM\<prefix><m_name>, the "Cannot open
    // registry key" error or the "<name> already exists in <registry>" warning; 0 when no key.
    HKEY CreateDriverKey(const char* prefix, const char* existsText);
    // DeleteDriverKey: ClearMessages, delete the key, "<name> does not exist in <registry>" on failure.
    int DeleteDriverKey(const char* prefix, const char* missingText);

    char m_messages[kMessagesSize];
    int m_registryOnly;
    HANDLE m_manager;
    int m_hasError;
    int m_hasWarning;
    DWORD m_startType;
    char m_name[kNameSize];
    char m_fileName[kNameSize];
    char m_imagePath[kNameSize];

private:
    CDriverRegistrar(const CDriverRegistrar&) = delete;
    CDriverRegistrar& operator=(const CDriverRegistrar&) = delete;
};

// NT 4.0, 2000, XP: a kernel-driver service through the service control manager, or with
// registryOnly the service's registry key written and deleted directly.
class CNtServiceRegistrar : public CDriverRegistrar {
public:
    CNtServiceRegistrar();
    ~CNtServiceRegistrar() override;
    int Install() override;
    int Remove() override;
    int Load() override;
    int Unload() override;
    void SetNames(const char* name, const char* fileName, const char* imagePath) override;
    int OpenManager() override;
    void CloseManager() override;
    virtual int InstallRegistryEntry();
    virtual int RemoveRegistryEntry();

private:
    SC_HANDLE OpenDriverService();
};

// Windows 95/98: a static VxD under the VxD key, loaded and unloaded at once through "\\.\VXDLDR".
class CVxdRegistrar : public CDriverRegistrar {
public:
    CVxdRegistrar();
    ~CVxdRegistrar() override;
    int Install() override;
    int Remove() override;
    int Load() override;
    int Unload() override;
    void SetNames(const char* name, const char* fileName, const char* imagePath) override;
    int OpenManager() override;
    void CloseManager() override;

    enum { kMaxUnloadRequests = 1000 };
};

// Windows 98: a .SYS driver's service key only; it starts after the next reboot.
class CWin98SysRegistrar : public CDriverRegistrar {
public:
    CWin98SysRegistrar();
    ~CWin98SysRegistrar() override;
    int Install() override;
    int Remove() override;
    int Load() override;
    int Unload() override;
    void SetNames(const char* name, const char* fileName, const char* imagePath) override;
    int OpenManager() override;
    void CloseManager() override;
};

// The unload request of the VxD loader (device control 2): 260 bytes, little-endian.
struct VxdUnloadRequest {
    DWORD deviceId;        // 0xFFFFFFFF: look the VxD up by name
    char deviceName[256];  // upper-case base name, NUL-terminated
};
static_assert(sizeof(VxdUnloadRequest) == 260, "the loader expects a 260-byte unload request");

enum { kVxdLoaderLoad = 1, kVxdLoaderUnload = 2 };

// A new registrar for the running platform, or null (unsupported platform, the VxD method asked
// for on the NT family, a failing version query, or no memory). The caller deletes it.
CDriverRegistrar* CreateDriverRegistrar(int preferVxd);

// Owns the registrar of one driver for one sequence of operations: created for the running
// platform, configured with the driver's names, start type 2 and its image path (not
// registry-only), and deleted exactly once. Get() is null when no registrar could be created.
class CRegistrarOwner {
public:
    CRegistrarOwner(int preferVxd, const char* name, const char* fileName, const char* imagePath);
    ~CRegistrarOwner() { delete m_registrar; }
    CDriverRegistrar* Get() const { return m_registrar; }

private:
    CRegistrarOwner(const CRegistrarOwner&) = delete;
    CRegistrarOwner& operator=(const CRegistrarOwner&) = delete;
    CDriverRegistrar* m_registrar;
};

// ---------------------------------------------------------------------------------------------
// Windows versions and driver locations

typedef int WindowsKind;
enum {
    kWindowsNone = 0,
    kWindows95 = 1,
    kWindows98 = 2,
    kWindowsNT4 = 3,
    kWindows2000 = 4,
    kWindowsXP = 5
};

extern const char* const kWindowsKindNames[6];

// Asks the system every time; 0 for anything unsupported, for a 32-bit process on 64-bit Windows
// (WOW64) and for a failing version query.
WindowsKind GetWindowsKind();

// The one 9x/NT decision of the system: 1 for NT 4.0, 2000 and XP (kind 3 or more), 0 for the
// Windows 9x side. Drivers are .sys services there and VxDs here.
int IsNtSide(WindowsKind kind);

// Both programs handle these two drivers, in this order.
#define TALVEN_WINDRVR_NAME "WinDriver"
#define TALVEN_WINDRVR_FILE "windrvr"
#define TALVEN_TALVENKP_NAME "talvenkp"
#define TALVEN_TALVENKP_FILE "talvenkp"
#define TALVEN_DRIVER_START_TYPE 2

enum { kDriverPathSize = 1024 };

// Where the two driver files of a Windows kind live, and how to register them.
struct DriverLocations {
    char driverDir[kDriverPathSize];
    char windrvrPath[kDriverPathSize];
    char talvenkpPath[kDriverPathSize];
    int preferVxd;
};

// Forms the driver directory ("%s\system\vmm32" on the 9x side, kind 2 or less; "%s\system32\drivers"
// on the NT side), the two driver file paths and preferVxd from the Windows directory, used as it is.
// Each path keeps room for a second NUL behind it (a one-name list for the shell). Returns 0 and
// leaves every path empty when the Windows directory is too long for that.
int GetDriverLocations(WindowsKind kind, const char* windowsDir, DriverLocations* out);

// The driver files in the distribution, relative to the program's directory.
const char* DriverSourcePattern(WindowsKind kind);  // "system\*.vxd" or "system\*.sys"
const char* DriverFileExtension(WindowsKind kind);  // ".vxd" or ".sys"
