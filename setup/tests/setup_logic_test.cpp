// Native tests of the setup program's window-free logic: the program directory, the level-by-level
// creation of the install directory against the simulated file system, the package copy into it,
// the read-me reading, SHA-256, and the package record with the checks against it.
#include "install_paths.h"
#include "package_record.h"
#include "readme_text.h"
#include "record_writer.h"
#include "shell_files.h"

#include <simulated_machine.h>

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

std::string Stripped(std::string path)
{
    std::vector<char> buffer(path.c_str(), path.c_str() + path.size() + 1);
    StripToDirectory(buffer.data());
    return buffer.data();
}

TEST(StripToDirectory, CutsBehindTheLastBackslashAfterTheFirstCharacter)
{
    EXPECT_EQ("C:\\DIST\\", Stripped("C:\\DIST\\SETUP.EXE"));
    EXPECT_EQ("D:\\", Stripped("D:\\SETUP.EXE"));
    EXPECT_EQ("\\\\server\\share\\", Stripped("\\\\server\\share\\setup.exe"));
    EXPECT_EQ("C:\\DIST\\", Stripped("C:\\DIST\\"));
    // Position 0 is never examined, so a lone leading backslash does not count.
    EXPECT_EQ("\\setup.exe", Stripped("\\setup.exe"));
    EXPECT_EQ("setup.exe", Stripped("setup.exe"));
    EXPECT_EQ("", Stripped(""));
}

// A fresh machine whose current directory is C:\DIST, as setup finds it when started from its
// disk; every handle is closed exactly once by the end.
class SetupLogicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::Reset();
        sim::machine().currentDir = "C:\\DIST";
        sim::AddDirectory("C:\\DIST");
    }
    void TearDown() override
    {
        EXPECT_EQ(0u, sim::OpenHandleCount());
        EXPECT_EQ(0u, sim::BadCloseCount());
    }
};

using CreateDirectoryPathTest = SetupLogicTest;

bool IsDirectory(const std::string& path)
{
    auto it = sim::machine().files.find(path);
    return it != sim::machine().files.end() && it->second.directory;
}

// The paths GetFileAttributesA and CreateDirectoryA were asked about are not logged by the
// stand-in, so count the calls instead.
int Calls(const char* function)
{
    return static_cast<int>(std::count(sim::machine().calls.begin(), sim::machine().calls.end(),
                                       std::string(function)));
}

TEST_F(CreateDirectoryPathTest, NestedPathIsCreatedLevelByLevel)
{
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(CreateDirectoryPath("C:\\Program Files\\Orbanet\\TALVEN 5.7"));
    EXPECT_TRUE(IsDirectory("C:\\Program Files"));
    EXPECT_TRUE(IsDirectory("C:\\Program Files\\Orbanet"));
    EXPECT_TRUE(IsDirectory("C:\\Program Files\\Orbanet\\TALVEN 5.7"));
    // C:, then the three levels.
    EXPECT_EQ(4, Calls("GetFileAttributesA"));
    EXPECT_EQ(3, Calls("CreateDirectoryA"));
}

TEST_F(CreateDirectoryPathTest, TrailingBackslashBehavesAlike)
{
    EXPECT_TRUE(CreateDirectoryPath("C:\\a\\b\\"));
    EXPECT_TRUE(IsDirectory("C:\\a\\b"));
    EXPECT_EQ(3, Calls("GetFileAttributesA"));
}

TEST_F(CreateDirectoryPathTest, ExistingLevelsAreAcceptedAndDriveRootCreatesNothing)
{
    sim::AddDirectory("C:\\a");
    EXPECT_TRUE(CreateDirectoryPath("C:\\a\\b"));
    EXPECT_EQ(1, Calls("CreateDirectoryA"));

    sim::Snapshot before = sim::TakeSnapshot();
    EXPECT_TRUE(CreateDirectoryPath("C:\\"));
    EXPECT_TRUE(CreateDirectoryPath("C:"));
    EXPECT_TRUE(before == sim::TakeSnapshot());
}

// A file in the way, and a file that is the install directory itself (nothing could be copied
// into it): both fail and create nothing.
TEST_F(CreateDirectoryPathTest, FileInTheWayFailsAndCreatesNothing)
{
    sim::AddFile("C:\\a");
    sim::Snapshot before = sim::TakeSnapshot();
    EXPECT_FALSE(CreateDirectoryPath("C:\\a\\b"));
    EXPECT_FALSE(CreateDirectoryPath("C:\\a"));
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_FALSE(CreateDirectoryPath("C:\\a\\"));
    EXPECT_TRUE(before == sim::TakeSnapshot());
}

TEST_F(CreateDirectoryPathTest, UncPathStartsAtTheShare)
{
    sim::AddDirectory("\\\\server\\share");
    EXPECT_TRUE(CreateDirectoryPath("\\\\server\\share\\dir"));
    EXPECT_TRUE(IsDirectory("\\\\server\\share\\dir"));
    EXPECT_EQ(2, Calls("GetFileAttributesA"));  // \\server\share, then \\server\share\dir

    sim::Reset();
    EXPECT_TRUE(CreateDirectoryPath("\\\\server"));
    EXPECT_TRUE(CreateDirectoryPath("\\\\server\\"));
    EXPECT_EQ(0, Calls("GetFileAttributesA"));
}

TEST_F(CreateDirectoryPathTest, MissingShareIsNotFoundOfAnotherKind)
{
    // An unknown share answers ERROR_PATH_NOT_FOUND / ERROR_BAD_NETPATH, never "file not found".
    EXPECT_FALSE(CreateDirectoryPath("\\\\server\\share\\dir"));
    EXPECT_EQ(0, Calls("CreateDirectoryA"));
}

TEST_F(CreateDirectoryPathTest, RelativePathIsCreatedBelowTheCurrentDirectory)
{
    EXPECT_TRUE(CreateDirectoryPath("talven\\sdk"));
    EXPECT_TRUE(IsDirectory("C:\\DIST\\talven"));
    EXPECT_TRUE(IsDirectory("C:\\DIST\\talven\\sdk"));
}

TEST_F(CreateDirectoryPathTest, AnErrorOtherThanNotFoundEndsTheWalk)
{
    for (DWORD error : {DWORD(ERROR_ACCESS_DENIED), DWORD(ERROR_PATH_NOT_FOUND)}) {
        sim::Reset();
        sim::Snapshot before = sim::TakeSnapshot();
        sim::FailCall("GetFileAttributesA", error, 2);  // C: answers, C:\a does not
        EXPECT_FALSE(CreateDirectoryPath("C:\\a\\b")) << error;
        EXPECT_TRUE(before == sim::TakeSnapshot()) << error;
        EXPECT_EQ(0, Calls("CreateDirectoryA")) << error;
        sim::ClearFailures();
    }
}

TEST_F(CreateDirectoryPathTest, LevelsCreatedBeforeAFailureStay)
{
    sim::FailCall("CreateDirectoryA", ERROR_ACCESS_DENIED, 2);
    EXPECT_FALSE(CreateDirectoryPath("C:\\a\\b\\c"));
    EXPECT_TRUE(IsDirectory("C:\\a"));
    EXPECT_FALSE(IsDirectory("C:\\a\\b"));
    EXPECT_EQ(2, Calls("CreateDirectoryA"));  // no level is tried after the failure
}

TEST_F(CreateDirectoryPathTest, OverLongPathIsRefusedBeforeAnythingIsCreated)
{
    // The working copy holds 260 characters: the path, a trailing backslash and the terminator.
    // One character too many, and the most the 1023-count edit read gives:
    for (const std::string& path :
         {"C:\\" + std::string(256, 'x'), "C:\\" + std::string(1019, 'x')}) {
        sim::Snapshot before = sim::TakeSnapshot();
        size_t calls = sim::machine().calls.size();
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(CreateDirectoryPath(path.c_str())) << path.size();
        EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, GetLastError());
        EXPECT_EQ(calls, sim::machine().calls.size()) << "a refused path reached the file system";
        EXPECT_TRUE(before == sim::TakeSnapshot());
    }
    // 258 characters, alone or with their backslash, fit the working copy; the file system itself
    // then refuses the over-long last level.
    const std::string fits = "C:\\" + std::string(255, 'x');
    for (const std::string& path : {fits, fits + "\\"}) {
        sim::Snapshot before = sim::TakeSnapshot();
        EXPECT_FALSE(CreateDirectoryPath(path.c_str())) << path.size();
        EXPECT_TRUE(before == sim::TakeSnapshot());
    }
    EXPECT_EQ(2, Calls("CreateDirectoryA"));
}

// Setup started from its install directory with the developer files to copy: the shell fails the
// copy of every file onto itself, so the same folder, however it is written, is nothing to copy.
using CopyPackageFilesTest = SetupLogicTest;

TEST_F(CopyPackageFilesTest, TheSameFolderIsNothingToCopyAnotherIsCopiedInto)
{
    const char kPackage[] = "C:\\Program Files\\Orbanet\\TALVEN 5.7\\";
    const char kLong[] = "C:\\Program Files\\Orbanet\\TALVEN 5.7";
    sim::AddDirectory(kLong);
    sim::machine().shortNames[kLong] = "C:\\PROGRA~1\\ORBANET\\TALVEN~1.7";
    sim::machine().currentDir = kLong;
    const std::vector<sim::ShellOperation>& ops = sim::machine().shellOperations;
    ASSERT_EQ(0, ShellCopyFiles(nullptr, "C:\\Program Files\\Orbanet\\TALVEN 5.7\\*.*", kLong));

    struct Row {
        const char* package;
        const char* install;
    } same[] = {
        {kPackage, kLong},
        {kPackage, "c:\\PROGRAM FILES\\orbanet\\talven 5.7\\"},
        {"C:\\PROGRA~1\\ORBANET\\TALVEN~1.7\\", kLong},  // Windows 95 may give the 8.3 path
        {kPackage, "C:\\PROGRA~1\\Orbanet\\..\\ORBANET\\TALVEN~1.7\\."},
        {kPackage, "C:/Program Files/Orbanet/TALVEN 5.7/"},
        {kPackage, "."},  // relative to the current directory
    };
    for (const Row& row : same) {
        SCOPED_TRACE(std::string(row.package) + " and " + row.install);
        const size_t before = ops.size();
        EXPECT_EQ(1, CopyPackageFiles(nullptr, row.package, row.install));
        EXPECT_EQ(before, ops.size());
    }

    // Another folder gets the copy, and the shell's result counts; so does a copy onto itself
    // when the paths cannot be compared.
    sim::AddDirectory("C:\\TALVEN");
    EXPECT_EQ(1, CopyPackageFiles(nullptr, kPackage, "C:\\TALVEN"));
    ASSERT_EQ(2u, ops.size());
    EXPECT_EQ(std::vector<std::string>{"C:\\Program Files\\Orbanet\\TALVEN 5.7\\*.*"},
              ops.back().from);
    EXPECT_EQ(std::vector<std::string>{"C:\\TALVEN"}, ops.back().to);
    sim::machine().shellResult = 0x75;
    EXPECT_EQ(0, CopyPackageFiles(nullptr, kPackage, "C:\\TALVEN"));
    sim::machine().shellResult = 0;
    sim::FailCall("GetFullPathNameA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, CopyPackageFiles(nullptr, kPackage, kLong));
    EXPECT_EQ(4u, ops.size());
}

// The read-me is read as setup does, "setup.txt" relative to the current directory.
using ReadmeTest = SetupLogicTest;

void Write(const std::string& bytes, const char* path = "C:\\DIST\\setup.txt")
{
    sim::AddFile(path, FILE_ATTRIBUTE_NORMAL, bytes);
}

TEST_F(ReadmeTest, BytesArePassedUntranslatedAndTerminated)
{
    Write(std::string("line one\r\nline two\r\n\x1a\xff", 22));
    std::vector<char> buffer(100000, 'Z');
    ASSERT_TRUE(ReadReadmeText("setup.txt", buffer.data(), buffer.size()));
    EXPECT_EQ(0, memcmp(buffer.data(), "line one\r\nline two\r\n\x1a\xff", 22));
    EXPECT_EQ('\0', buffer[22]);
}

TEST_F(ReadmeTest, ANulInTheFileEndsTheShownText)
{
    Write(std::string("shown\0hidden", 12));
    char buffer[64];
    ASSERT_TRUE(ReadReadmeText("setup.txt", buffer, sizeof buffer));
    EXPECT_STREQ("shown", buffer);
}

TEST_F(ReadmeTest, MissingOrEmptyFile)
{
    char buffer[16] = "untouched";
    EXPECT_FALSE(ReadReadmeText("setup.txt", buffer, sizeof buffer));
    EXPECT_STREQ("untouched", buffer);

    Write("");
    ASSERT_TRUE(ReadReadmeText("setup.txt", buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
}

TEST_F(ReadmeTest, ReadmeOfTheBufferSizeOrMoreIsCutAtTheBuffer)
{
    // The page's buffer holds 100,000 characters: 99,999 bytes and the NUL.
    const size_t capacity = 100000;
    for (size_t size : {capacity - 1, capacity, size_t(5) * 1024 * 1024}) {
        std::string bytes(size, 'r');
        bytes[capacity - 2] = 'L';  // the last byte that fits
        Write(bytes);
        std::vector<char> buffer(capacity + 16, 'G');
        ASSERT_TRUE(ReadReadmeText("setup.txt", buffer.data(), capacity)) << size;
        EXPECT_EQ(capacity - 1, strlen(buffer.data())) << size;
        EXPECT_EQ('L', buffer[capacity - 2]);
        EXPECT_EQ('G', buffer[capacity]) << "written past the buffer";
    }
    // A read that fails on the way shows what came before it.
    sim::FailCall("ReadFile", ERROR_GEN_FAILURE, 2);
    std::vector<char> buffer(capacity);
    ASSERT_TRUE(ReadReadmeText("setup.txt", buffer.data(), capacity));
    EXPECT_EQ(0x10000u, strlen(buffer.data()));
}

TEST_F(ReadmeTest, DirectoryInPlaceOfTheFileShowsNothing)
{
    sim::AddDirectory("C:\\DIST\\setup.txt");
    char buffer[16] = "untouched";
    EXPECT_FALSE(ReadReadmeText("setup.txt", buffer, sizeof buffer));  // ERROR_ACCESS_DENIED
    EXPECT_STREQ("untouched", buffer);
}

// SHA-256 against the published examples of FIPS 180-4 (and SHA-512's two-block message), the
// million-a message, and lengths at the padding's edges (55 bytes take one block, 56 two), fed
// whole and in pieces of every split.
TEST(Sha256, PublishedExamplesAndPaddingEdges)
{
    auto bytesUpTo = [](int n) {
        std::string bytes;
        for (int i = 0; i < n; i++)
            bytes += static_cast<char>(i);
        return bytes;
    };
    const struct {
        std::string message;
        const char* digest;
    } rows[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
         "m"
         "nopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {bytesUpTo(55), "463eb28e72f82e0a96c0a4cc53690c571281131f672aa229e0d45ae59b598b59"},
        {bytesUpTo(56), "da2ae4d6b36748f2a318f23e7ab1dfdf45acdc9d049bd80e59de82a60895f562"},
        {bytesUpTo(63), "29af2686fd53374a36b0846694cc342177e428d1647515f078784d69cdb9e488"},
        {bytesUpTo(64), "fdeab9acf3710362bd2658cdc9a29e8f9c757fcf9811603a8c447cd1d9151108"},
        {bytesUpTo(65), "4bfd2c8b6f1eec7a2afeb48b934ee4b2694182027e6d0fc075074f2fabb31781"},
    };
    auto hex = [](const std::string& digest) {
        std::string text;
        for (unsigned char c : digest)
            text += "0123456789abcdef"[c >> 4], text += "0123456789abcdef"[c & 15];
        return text;
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message.size());
        EXPECT_EQ(row.digest, hex(test::Sha256Of(row.message)));
        if (row.message.size() > 200)
            continue;
        for (size_t split = 0; split <= row.message.size(); split++) {
            Sha256 hash;
            Sha256Start(&hash);
            const BYTE* bytes = reinterpret_cast<const BYTE*>(row.message.data());
            Sha256Add(&hash, bytes, static_cast<DWORD>(split));
            Sha256Add(&hash, bytes + split, static_cast<DWORD>(row.message.size() - split));
            BYTE digest[kSha256Size];
            Sha256Finish(&hash, digest);
            EXPECT_EQ(row.digest, hex(std::string(reinterpret_cast<char*>(digest), kSha256Size)))
                << "split at " << split;
        }
    }
}

// A record is read whole or not at all: every shorter prefix, a byte more, a wrong mark, an
// empty list, an empty path or one without its NUL are refused.
TEST(PackageRecord, OnlyAWholeRecordIsRead)
{
    const std::string whole =
        test::RecordOf({{"setup.txt", "read me"}, {"system\\windrvr.sys", "MZ"}});
    PackageRecord record;
    auto reads = [&record](const std::string& bytes) {
        std::vector<BYTE> exact(bytes.begin(), bytes.end());  // nothing readable behind it
        return ReadPackageRecord(exact.data(), static_cast<DWORD>(exact.size()), &record);
    };
    ASSERT_TRUE(reads(whole));
    EXPECT_EQ(2u, record.count);
    for (size_t cut = 0; cut < whole.size(); cut++)
        EXPECT_FALSE(reads(whole.substr(0, cut))) << cut;
    EXPECT_FALSE(reads(whole + '\0'));
    EXPECT_FALSE(reads("TPK2" + whole.substr(4)));
    EXPECT_FALSE(reads(test::RecordOf({})));
    EXPECT_FALSE(reads(test::RecordOf({{"", "x"}})));
    EXPECT_FALSE(reads(whole.substr(0, whole.size() - 1) + 'x'));  // the last path unended
}

// The record's section in a module image as the loader maps it: found by name; no such section,
// or a broken record in it, finds nothing.
TEST(PackageRecord, FoundInItsSectionOfTheImage)
{
    const std::string record = test::RecordOf({{"uninstall.exe", "MZ uninstall"}});
    auto image = [](const char* name, const std::string& contents) {
        std::vector<BYTE> bytes(0x1000 + contents.size());
        bytes[0] = 'M', bytes[1] = 'Z', bytes[0x3C] = 0x80;
        memcpy(&bytes[0x80], "PE\0\0", 4);
        bytes[0x80 + 6] = 2;      // sections
        bytes[0x80 + 20] = 0xE0;  // size of the optional header
        BYTE* sections = &bytes[0x80 + 24 + 0xE0];
        memcpy(sections, ".text", 5);
        memcpy(sections + 40, name, strlen(name));
        DWORD size = static_cast<DWORD>(contents.size()), address = 0x1000;
        memcpy(sections + 40 + 8, &size, 4);
        memcpy(sections + 40 + 12, &address, 4);
        memcpy(&bytes[0x1000], contents.data(), contents.size());
        return bytes;
    };
    PackageRecord found;
    EXPECT_TRUE(FindPackageRecord(image(".talpkg", record).data(), &found));
    EXPECT_EQ(1u, found.count);
    EXPECT_FALSE(FindPackageRecord(image(".rsrc", record).data(), &found));
    EXPECT_FALSE(FindPackageRecord(image(".talpkg", record.substr(1)).data(), &found));
}

// The package folder against its record on the simulated disk, one damage a row; nothing is
// left open.
TEST_F(SetupLogicTest, PackageFolderIsCheckedAgainstItsRecord)
{
    const std::string driver(70000, '\x90');  // more than one block of the check's reads
    const test::PackageFiles files = {{"doc\\README.txt", "notes"},
                                      {"setup.txt", "read me"},
                                      {"system\\talvenkp.sys", "MZ talvenkp"},
                                      {"system\\windrvr.sys", driver},
                                      {"uninstall.exe", "MZ uninstall"}};
    const std::string bytes = test::RecordOf(files);
    PackageRecord record;
    ASSERT_TRUE(ReadPackageRecord(reinterpret_cast<const BYTE*>(bytes.data()),
                                  static_cast<DWORD>(bytes.size()), &record));
    static int answered;
    auto check = [&record](char* problemPath) {
        answered = 0;
        return CheckPackageFolder(record, "C:\\DIST\\", problemPath, 64, [] { answered++; });
    };

    const struct {
        const char* damage;
        std::function<void()> make;
        int problem;
        const char* path;
    } rows[] = {
        {"none", [] {}, kPackageWhole, ""},
        {"a file of the user's beside the package", [] { Write("mine", "C:\\DIST\\notes.txt"); },
         kPackageWhole, ""},
        {"a driver's name listed in other case",
         [&] {
             sim::machine().files.erase("C:\\DIST\\system\\windrvr.sys"),
                 Write(driver, "C:\\DIST\\system\\WINDRVR.SYS");
         },
         kPackageWhole, ""},
        {"a driver byte changed",
         [&] { Write(driver.substr(0, 69999) + 'x', "C:\\DIST\\system\\windrvr.sys"); },
         kPackageFileChanged, "system\\windrvr.sys"},
        {"a developer file cut", [] { Write("note", "C:\\DIST\\doc\\README.txt"); },
         kPackageFileChanged, "doc\\README.txt"},
        {"a developer file longer", [] { Write("notes!", "C:\\DIST\\doc\\README.txt"); },
         kPackageFileChanged, "doc\\README.txt"},
        {"a program missing", [] { sim::machine().files.erase("C:\\DIST\\uninstall.exe"); },
         kPackageFileMissing, "uninstall.exe"},
        {"a folder missing",
         [] {
             sim::machine().files.erase("C:\\DIST\\doc\\README.txt"),
                 sim::machine().files.erase("C:\\DIST\\doc");
         },
         kPackageFileMissing, "doc\\README.txt"},
        {"a driver more", [] { Write("MZ evil", "C:\\DIST\\system\\evil.sys"); },
         kPackageFileForeign, "system\\evil.sys"},
        {"a folder in system", [] { sim::AddDirectory("C:\\DIST\\system\\x.sys"); },
         kPackageFileForeign, "system\\x.sys"},
        {"a read that fails", [] { sim::FailCall("ReadFile", ERROR_GEN_FAILURE, 8); },
         kPackageFileUnreadable, "system\\windrvr.sys"},
        {"a file no one may read", [] { sim::FailCall("CreateFileA", ERROR_ACCESS_DENIED); },
         kPackageFileUnreadable, "doc\\README.txt"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.damage);
        sim::Reset();
        for (const auto& file : files) {
            sim::AddDirectory("C:\\DIST\\doc");
            sim::AddDirectory("C:\\DIST\\system");
            Write(file.second, ("C:\\DIST\\" + file.first).c_str());
        }
        row.make();
        char problemPath[64] = "untouched";
        EXPECT_EQ(row.problem, check(problemPath));
        if (row.problem != kPackageWhole)
            EXPECT_STREQ(row.path, problemPath);
        else
            EXPECT_EQ(7, answered) << "the window answers after every block read";
        EXPECT_EQ(0u, sim::OpenHandleCount());
        sim::ClearFailures();
    }

    // A folder too deep for the paths of the files in it.
    char problemPath[64];
    const std::string deep = "C:\\" + std::string(244, 'd') + "\\";
    EXPECT_EQ(kPackageTooDeep, CheckPackageFolder(record, deep.c_str(), problemPath, 64, nullptr));
    EXPECT_STREQ("doc\\README.txt", problemPath);

    // An installed driver against the record, not against the package folder.
    Write("MZ talvenkp", "C:\\DIST\\talvenkp.sys");
    EXPECT_EQ(1, FileMatchesRecord(record, "SYSTEM\\talvenkp.sys", "C:\\DIST\\talvenkp.sys"));
    EXPECT_EQ(0, FileMatchesRecord(record, "system\\windrvr.sys", "C:\\DIST\\talvenkp.sys"));
    EXPECT_EQ(0, FileMatchesRecord(record, "system\\talvenkp.vxd", "C:\\DIST\\talvenkp.sys"));
    EXPECT_EQ(0, FileMatchesRecord(record, "system\\talvenkp.sys", "C:\\DIST\\missing.sys"));
}

}  // namespace
