// CVxdRegistrar and CWin98SysRegistrar against the simulated Windows 98 registry and VxD loader:
// the loader requests byte for byte, the unload loop's limits, and both registry entries.
#include "test_support.h"

namespace {

using test::HasValue;

const std::string kVxdKey = std::string(test::kVxdKey) + "WinDriver";
const std::string kServiceKey = std::string(test::kServicesKey) + "WinDriver";

class Vxd : public test::RegistrarTest<CVxdRegistrar, 1> {
protected:
    const std::vector<sim::LoaderRequest>& Requests() { return sim::machine().vxd.requests; }
};

TEST_F(Vxd, LoaderDeviceIsOpenedForDynamicLoading)
{
    ASSERT_EQ(1u, sim::machine().vxd.opens.size());
    const sim::DeviceOpen& open = sim::machine().vxd.opens[0];
    EXPECT_EQ(0u, open.access);
    EXPECT_EQ(0u, open.shareMode);
    EXPECT_TRUE(open.securityNull);
    EXPECT_EQ(DWORD(CREATE_NEW), open.disposition);
    EXPECT_EQ(DWORD(FILE_FLAG_DELETE_ON_CLOSE), open.flags);
    EXPECT_TRUE(open.templateNull);
}

TEST_F(Vxd, LoadSendsThePathWithItsNul)
{
    // The default path C:\WINDOWS\SYSTEM\Vmm32\windrvr.VXD has 35 characters.
    EXPECT_EQ(1, registrar->Load());
    ASSERT_EQ(1u, Requests().size());
    const sim::LoaderRequest& request = Requests()[0];
    EXPECT_EQ(1u, request.code);
    EXPECT_EQ(36u, request.input.size());
    EXPECT_EQ(test::StringBytes("C:\\WINDOWS\\SYSTEM\\Vmm32\\windrvr.VXD"), request.input);
    EXPECT_FALSE(request.hadOutputBuffer);
    EXPECT_EQ(0u, request.outSize);
    EXPECT_EQ(1, sim::machine().vxd.loaded["WINDRVR"]);
    EXPECT_STREQ("", registrar->Messages());

    sim::machine().vxd.loadError = ERROR_GEN_FAILURE;
    EXPECT_EQ(0, registrar->Load());
    EXPECT_STREQ("", registrar->Messages());
}

TEST_F(Vxd, LoadOfTheLongestPathSendsExactlyItsBytes)
{
    const std::string path = "C:\\" + std::string(992, 'p') + ".vxd";  // 999 characters
    ASSERT_EQ(1, registrar->Configure("WinDriver", "windrvr", 2, path.c_str(), 0));
    EXPECT_EQ(1, registrar->Load());
    ASSERT_EQ(1u, Requests().size());
    EXPECT_EQ(test::StringBytes(path), Requests()[0].input);
}

TEST_F(Vxd, UnloadRequestCarriesTheUpperCaseName)
{
    struct Row {
        std::string fileName, sent;
    } rows[] = {{"windrvr", "WINDRVR"},
                {"talvenkp", "TALVENKP"},
                {"Win-drv_9z.", "WIN-DRV_9Z."},
                {std::string(255, 'q'), std::string(255, 'Q')}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sent.substr(0, 20));
        sim::machine().vxd.requests.clear();
        ASSERT_EQ(1, registrar->Configure("WinDriver", row.fileName.c_str(), 2, "C:\\x.vxd", 0));
        registrar->Unload();
        ASSERT_EQ(1u, Requests().size());
        const sim::LoaderRequest& request = Requests()[0];
        EXPECT_EQ(2u, request.code);
        EXPECT_FALSE(request.hadOutputBuffer);
        // 0xFFFFFFFF, the name and its NUL; the bytes behind the NUL are not significant.
        const test::Bytes head = test::StringBytes("\xFF\xFF\xFF\xFF" + row.sent);
        ASSERT_EQ(260u, request.input.size());
        EXPECT_EQ(head, test::Bytes(request.input.begin(), request.input.begin() + head.size()));
    }
}

// A base name that cannot fit the 256-character field with its NUL is never sent cut.
TEST_F(Vxd, UnloadOfANameTheRequestCannotHoldSendsNothing)
{
    ASSERT_EQ(1,
              registrar->Configure("WinDriver", std::string(256, 'q').c_str(), 2, "C:\\x.vxd", 0));
    sim::machine().vxd.loaded[std::string(255, 'Q')] = 1;
    EXPECT_EQ(0, registrar->Unload());
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(1, sim::machine().vxd.loaded[std::string(255, 'Q')]);
}

TEST_F(Vxd, UnloadRepeatsUntilTheLoaderRefuses)
{
    struct Row {
        const char* label;
        int loaded;
        bool acceptAll;
        int expected;
        size_t requests;
        const char* text;
    } rows[] = {
        {"not loaded", 0, false, 0, 1,
         "Could not unload driver, or driver was previously loaded.\n"},
        {"loaded once", 1, false, 1, 2, ""},
        {"loaded three times", 3, false, 1, 4, ""},
        {"loaded 999 times", 999, false, 1, 1000, ""},
        {"loaded 1000 times", 1000, false, 0, 1000, ""},
        {"loader accepts every unload", 0, true, 0, 1000, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        sim::machine().vxd.requests.clear();
        sim::machine().vxd.loaded.clear();
        if (row.loaded)
            sim::machine().vxd.loaded["WINDRVR"] = row.loaded;
        sim::machine().vxd.acceptEveryUnload = row.acceptAll;
        registrar->ClearMessages();
        EXPECT_EQ(row.expected, registrar->Unload());
        EXPECT_EQ(row.requests, Requests().size());
        EXPECT_STREQ(row.text, registrar->Messages());
        EXPECT_EQ(0, registrar->HasError());
        for (const sim::LoaderRequest& request : Requests())
            ASSERT_EQ(2u, request.code);
    }
}

// Load and Unload never clear: their warnings pile up behind what is there.
TEST_F(Vxd, UnloadWarningsAccumulate)
{
    registrar->AddError("earlier\n");
    EXPECT_EQ(0, registrar->Unload());
    EXPECT_EQ(0, registrar->Unload());
    EXPECT_STREQ("earlier\nCould not unload driver, or driver was previously loaded.\n"
                 "Could not unload driver, or driver was previously loaded.\n",
                 registrar->Messages());
    EXPECT_EQ(1, registrar->HasWarning());
    EXPECT_EQ(1, registrar->HasError());
}

TEST_F(Vxd, InstallWritesTheVxdKeyAndWarnsTheSecondTime)
{
    registrar->AddWarning("stale\n");
    // The second time the key holds other values, which are overwritten.
    for (const char* warning : {"", "WinDriver already exists in Win-95 registry\n"}) {
        EXPECT_EQ(1, registrar->Install());
        EXPECT_STREQ(warning, registrar->Messages());
        EXPECT_EQ(*warning != '\0' ? 1 : 0, registrar->HasWarning());
        EXPECT_EQ(0, registrar->HasError());
        EXPECT_EQ(*warning != '\0' ? 1 : 0, registrar->HasMessages());
        EXPECT_TRUE(HasValue(kVxdKey, "Start", REG_BINARY, test::Bytes{0}));
        EXPECT_TRUE(HasValue(kVxdKey, "StaticVxD", REG_SZ, test::StringBytes("*windrvr")));
        EXPECT_EQ(9u, sim::FindValue(kVxdKey, "StaticVxD")->data.size());
        EXPECT_EQ(2u, sim::machine().registry[kVxdKey].values.size());
        sim::machine().registry[kVxdKey].values["Start"] = {REG_BINARY, test::Bytes{1}};
        sim::machine().registry[kVxdKey].values["StaticVxD"] = {REG_SZ, test::StringBytes("*old")};
    }
    EXPECT_EQ((std::vector<std::string>{"Start", "StaticVxD", "Start", "StaticVxD"}),
              test::WriteOrder(kVxdKey));
    EXPECT_TRUE(sim::machine().vxd.requests.empty()) << "Install must not load";
}

TEST_F(Vxd, RemoveDeletesTheVxdKeyOrReportsIt)
{
    registrar->AddWarning("stale\n");
    EXPECT_EQ(0, registrar->Remove());
    EXPECT_STREQ("WinDriver does not exist in Win-95 registry\n", registrar->Messages());
    EXPECT_EQ(1, registrar->HasError());
    EXPECT_EQ(0, registrar->HasWarning());

    // Windows 9x deletes a key with its subkeys.
    sim::AddKey(kVxdKey + "\\Sub");
    EXPECT_EQ(1, registrar->Remove());
    EXPECT_STREQ("", registrar->Messages());
    EXPECT_FALSE(sim::KeyExists(kVxdKey));
    EXPECT_FALSE(sim::KeyExists(kVxdKey + "\\Sub"));
    EXPECT_TRUE(sim::KeyExists("HKLM\\System\\CurrentControlSet\\Services\\VxD"));
}

// "System\CurrentControlSet\Services\VxD\" is 38 characters: 985 is the longest name whose key
// path fits the 1024-character buffer. The VxD key stays.
TEST_F(Vxd, KeyPathsThatDoNotFitAreRefusedBeforeTheRegistry)
{
    test::ExpectLongNamesRefused(registrar.get(), 985, "C:\\x.vxd", 0, "Win-95");
    EXPECT_TRUE(sim::KeyExists("HKLM\\System\\CurrentControlSet\\Services\\VxD"));
}

using Win98Sys = test::RegistrarTest<CWin98SysRegistrar, -1>;

TEST_F(Win98Sys, InstallWritesFourByteBinaryNumbersAndNoGroup)
{
    EXPECT_EQ(1, registrar->Install());
    EXPECT_STREQ("", registrar->Messages());
    EXPECT_EQ(
        (std::vector<std::string>{"Start", "Type", "ErrorControl", "ImagePath", "DisplayName"}),
        test::WriteOrder(kServiceKey));
    EXPECT_TRUE(HasValue(kServiceKey, "Start", REG_BINARY, test::Bytes{2, 0, 0, 0}));
    EXPECT_TRUE(HasValue(kServiceKey, "Type", REG_BINARY, test::Bytes{1, 0, 0, 0}));
    EXPECT_TRUE(HasValue(kServiceKey, "ErrorControl", REG_BINARY, test::Bytes{1, 0, 0, 0}));
    EXPECT_TRUE(HasValue(kServiceKey, "ImagePath", REG_SZ,
                         test::StringBytes("\\SystemRoot\\System32\\drivers\\windrvr.SYS")));
    EXPECT_TRUE(HasValue(kServiceKey, "DisplayName", REG_SZ, test::StringBytes("WinDriver")));
    EXPECT_EQ(nullptr, sim::FindValue(kServiceKey, "Group"));

    // Least significant byte first, for every byte.
    ASSERT_EQ(1, registrar->Configure("WinDriver", "windrvr", 0x01020304, nullptr, 0));
    EXPECT_EQ(1, registrar->Install());
    EXPECT_STREQ("WinDriver already exists in Win-98 registry\n", registrar->Messages());
    EXPECT_TRUE(HasValue(kServiceKey, "Start", REG_BINARY, test::Bytes{4, 3, 2, 1}));
}

TEST_F(Win98Sys, RemoveReportsAMissingKey)
{
    EXPECT_EQ(0, registrar->Remove());
    EXPECT_STREQ("WinDriver does not exist in Win-98 registry\n", registrar->Messages());
    EXPECT_EQ(1, registrar->HasError());
    sim::AddKey(kServiceKey);
    EXPECT_EQ(1, registrar->Remove());
    EXPECT_FALSE(sim::KeyExists(kServiceKey));
}

TEST_F(Win98Sys, LoadAndUnloadRefuseWithAccumulatingWarnings)
{
    sim::AddKey(kServiceKey);
    const sim::Snapshot before = sim::TakeSnapshot();
    const size_t first = sim::machine().calls.size();
    EXPECT_EQ(0, registrar->Load());
    EXPECT_EQ(0, registrar->Unload());
    const std::string reboot = "This is a Windows 98 limitation. Please reboot the system.\n"
                               "For a reboot free installation on 98, use the -VXD option\n";
    EXPECT_EQ("Dynamic Loading of (SYS) driver not available for WIN 98.\n" + reboot +
                  "Dynamic unloading of (SYS)driver not available for WIN 98.\n" + reboot,
              registrar->Messages());
    EXPECT_EQ(1, registrar->HasWarning());
    EXPECT_EQ(0, registrar->HasError());
    EXPECT_TRUE(before == sim::TakeSnapshot());
    EXPECT_TRUE(test::CallsSince(first).empty());
}

}  // namespace
