// Native tests of the setup program's window-free logic: the program directory, the level-by-level
// creation of the install directory against the simulated file system, the package copy into it,
// the read-me reading and the check of copied driver files.
#include "file_compare.h"
#include "install_paths.h"
#include "readme_text.h"
#include "shell_files.h"

#include <simulated_machine.h>

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
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

TEST_F(ReadmeTest, CopiedDriverCheckComparesEveryByte)
{
    const char* a = "C:\\DIST\\system\\windrvr.sys";
    const char* b = "C:\\WINDOWS\\system32\\drivers\\windrvr.sys";
    std::string image(70000, '\x90');
    Write(image, a);
    Write(image, b);
    EXPECT_TRUE(FilesHaveSameBytes(a, b));
    sim::FailCall("ReadFile", ERROR_GEN_FAILURE, 3);  // a read that fails is never "the same"
    EXPECT_FALSE(FilesHaveSameBytes(a, b));

    image[69999] = 'x';  // differs in the last byte only
    Write(image, b);
    EXPECT_FALSE(FilesHaveSameBytes(a, b));

    Write(image.substr(0, 69999), b);  // one byte short
    EXPECT_FALSE(FilesHaveSameBytes(a, b));
    EXPECT_FALSE(FilesHaveSameBytes(b, a));

    EXPECT_FALSE(FilesHaveSameBytes(a, "C:\\DIST\\missing.sys"));
    EXPECT_FALSE(FilesHaveSameBytes("C:\\DIST\\missing.sys", a));
}

}  // namespace
