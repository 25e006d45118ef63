// The shipped launcher.exe, run for real under Wine with stand-in programs for the product
// installer and the uninstaller, and trap programs wherever a wrong path would land.

#include <gtest/gtest.h>

#include <algorithm>

#include "test_files.h"

using namespace test_files;

namespace {

const std::string kShipRoot = "C:\\ship";
const std::string kCurrentDirectory = "C:\\current";
const std::string kOutside = "C:\\outside";
const std::string kReport = "C:\\stand-in-report.txt";
const std::string kStandardOutput = "C:\\launcher-output.txt";

// One run of a stand-in program, as it reported itself.
struct Record {
    std::string module;
    std::string commandLine;
    std::string currentDirectory;
    std::string responseFile;
    std::string probe;
};

struct LauncherRun {
    ProcessOutcome outcome;
    std::vector<Record> records;
};

bool SamePath(std::string a, std::string b) {
    std::transform(a.begin(), a.end(), a.begin(), ::tolower);
    std::transform(b.begin(), b.end(), b.begin(), ::tolower);
    return a == b;
}

class LauncherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        is64_ = Environment("WINE_TEST_ENVIRONMENT") == "win64";
        own_ = OwnFolder();
        informationRoot_ = std::string("C:\\") + (is64_ ? "Program Files (x86)" : "Program Files") +
                           "\\InstallShield Installation Information";
        information_ = informationRoot_ + "\\{}";
        for (const std::string &path : {informationRoot_, kShipRoot, kOutside, kReport})
            RemoveAll(path);
        MakeFolders(informationRoot_);

        // Where an unquoted program path, the current directory or PATH would lead.
        MakeFolders(kCurrentDirectory);
        WriteFile(kCurrentDirectory + "\\notes.txt", "makes a wildcard match two names");
        for (const std::string &trap :
             {std::string("C:\\Program.exe"), kCurrentDirectory + "\\data.exe",
              std::string("C:\\windows\\data.exe"), std::string("C:\\windows\\system32\\data.exe")})
            PlaceTrap(trap);

        SetEnvironmentVariableA("STAND_IN_REPORT", kReport.c_str());
        SetEnvironmentVariableA("STAND_IN_PROBE", information_.c_str());
        SetEnvironmentVariableA("STAND_IN_EXIT_data", nullptr);
        SetEnvironmentVariableA("STAND_IN_EXIT_setup", nullptr);
    }

    void TearDown() override {
        for (const Record &record : Records())
            for (const std::string &trap : traps_)
                EXPECT_FALSE(SamePath(record.module, trap))
                    << "a trap ran: " << record.module << " as " << record.commandLine;
    }

    void PlaceTrap(const std::string &path) {
        CopyTo(own_ + "\\stand_in.exe", path);
        traps_.push_back(path);
    }

    // A launcher folder as the product ships: launcher, installer and both response files.
    std::string Ship(const std::string &folder, bool withUninstallResponse = true) {
        MakeFolders(folder);
        CopyTo(own_ + "\\launcher.exe", folder + "\\launcher.exe");
        CopyTo(own_ + "\\stand_in.exe", folder + "\\data.exe");
        WriteFile(folder + "\\setup.iss", "setup response\r\n");
        if (withUninstallResponse)
            WriteFile(folder + "\\uninstall.iss", "response beside the launcher\r\n");
        return folder;
    }

    // The information folder an earlier installation left, with its uninstaller and some files.
    void MakeEarlierInstallation(bool withUninstaller = true) {
        MakeFolders(information_ + "\\Disk1\\Data");
        WriteFile(information_ + "\\layout.bin", "x");
        WriteFile(information_ + "\\Disk1\\Data\\data1.cab", "x");
        if (withUninstaller)
            CopyTo(own_ + "\\stand_in.exe", information_ + "\\setup.exe");
    }

    LauncherRun Run(const std::string &folder, const std::string &arguments) {
        RemoveAll(kReport);
        std::string command = "\"" + folder + "\\launcher.exe\"";
        if (!arguments.empty())
            command += " " + arguments;
        LauncherRun run;
        run.outcome = RunProcess(command, kCurrentDirectory, kStandardOutput);
        run.records = Records();
        return run;
    }

    std::vector<Record> Records() const {
        std::vector<Record> records;
        for (const std::string &line : SplitLines(ReadFile(kReport))) {
            const std::vector<std::string> fields = SplitFields(line, '\t');
            if (fields.size() == 5)
                records.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
            else
                ADD_FAILURE() << "unreadable report line: " << line;
        }
        return records;
    }

    std::string OpeningLine(bool silent) const { return is64_ && !silent ? "enter!" : ""; }

    // Standard output of a run whose uninstaller started (or, when `started` is false, failed to).
    std::string RemovalOutput(bool silent, bool started) const {
        if (silent)
            return "";
        if (is64_)
            return started ? "enter!success" : "enter!";
        return (started ? "successful" : "") + std::string("The value is:") + information_ + "\r\n";
    }

    std::string UninstallCommand() const {
        return "\"" + information_ + "\\setup.exe\" -s -uninst -f1\"" + information_ +
               "\\uninstall.iss\"";
    }

    static std::string InstallerCommand(const std::string &folder, bool silent) {
        std::string command = "\"" + folder + "\\data.exe\"";
        if (silent)
            command += " -s -f1\"" + folder + "\\setup.iss\"";
        return command;
    }

    // The run started exactly the installer beside the launcher, with the command for its mode.
    static void ExpectOnlyInstaller(const LauncherRun &run, const std::string &folder,
                                    bool silent) {
        ASSERT_EQ(run.records.size(), 1u) << run.outcome.standardOutput;
        EXPECT_TRUE(SamePath(run.records[0].module, folder + "\\data.exe"));
        EXPECT_EQ(run.records[0].commandLine, InstallerCommand(folder, silent));
    }

    bool is64_ = false;
    std::string own_;
    std::string informationRoot_;
    std::string information_;
    std::vector<std::string> traps_;
};

class Modes : public LauncherTest {};
class InstallerCommands : public LauncherTest {};
class ExitCodes : public LauncherTest {};
class Removal : public LauncherTest {};
class RemovalSafety : public LauncherTest {};

const bool kModes[] = {false, true}; // interactive, silent

} // namespace

TEST_F(Modes, OneArgumentOfAnyTextMeansSilent) {
    const std::string folder = Ship(kShipRoot + "\\product");
    const struct {
        const char *arguments;
        bool silent;
    } cases[] = {
        {"", false},      {"one", true},      {"\"two words\"", true}, {"\"\"", true},
        {"*", true},      {"one two", false}, {"\"a b\" c", false},    {"   ", false},
        {"a\\\"b", true}, {"/s", true},       {"\"\" \"\"", false},    {"  padded  ", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string("arguments: [") + c.arguments + "]");
        const LauncherRun run = Run(folder, c.arguments);
        EXPECT_EQ(run.outcome.exitCode, 0u);
        EXPECT_EQ(run.outcome.standardOutput, OpeningLine(c.silent));
        ExpectOnlyInstaller(run, folder, c.silent);
    }
}

TEST_F(InstallerCommands, FolderWithBlanksAndParenthesesIsQuoted) {
    const std::string folder = Ship("C:\\Program Files Setup (x86)\\My Product 2.0");
    PlaceTrap("C:\\Program Files Setup (x86)\\My.exe");
    for (bool silent : kModes) {
        const LauncherRun run = Run(folder, silent ? "/s" : "");
        ExpectOnlyInstaller(run, folder, silent);
        EXPECT_EQ(run.records[0].currentDirectory, kCurrentDirectory);
    }
}

TEST_F(InstallerCommands, LongLauncherFolderIsNeverCutShort) {
    const std::string folder =
        Ship(kShipRoot + "\\" + std::string(60, 'p') + " setup " + std::string(60, 'q'));
    ASSERT_GT(folder.size(), 113u);
    for (bool silent : kModes)
        ExpectOnlyInstaller(Run(folder, silent ? "x" : ""), folder, silent);
}

TEST_F(InstallerCommands, LauncherAtADriveRoot) {
    CopyTo(own_ + "\\launcher.exe", "C:\\launcher.exe");
    CopyTo(own_ + "\\stand_in.exe", "C:\\data.exe");
    for (bool silent : kModes) {
        const LauncherRun run = Run("C:", silent ? "x" : "");
        ASSERT_EQ(run.records.size(), 1u);
        EXPECT_TRUE(SamePath(run.records[0].module, "C:\\data.exe"));
        EXPECT_EQ(run.records[0].commandLine, InstallerCommand("C:\\", silent));
    }
    DeleteFileA("C:\\launcher.exe");
    DeleteFileA("C:\\data.exe");
}

TEST_F(InstallerCommands, MissingInstallerStartsNothingElse) {
    const std::string folder = Ship(kShipRoot + "\\product");
    DeleteFileA((folder + "\\data.exe").c_str());
    for (bool silent : kModes) {
        const LauncherRun run = Run(folder, silent ? "x" : "");
        EXPECT_EQ(run.outcome.exitCode, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(run.outcome.standardOutput, OpeningLine(silent));
        EXPECT_TRUE(run.records.empty());
    }
}

TEST_F(ExitCodes, InstallersExitCodePassesThrough) {
    const std::string folder = Ship(kShipRoot + "\\product");
    for (const char *code : {"0", "1", "3010", "1603", "3221225477"}) {
        SetEnvironmentVariableA("STAND_IN_EXIT_data", code);
        for (bool silent : kModes) {
            SCOPED_TRACE(code);
            const LauncherRun run = Run(folder, silent ? "x" : "");
            EXPECT_EQ(run.outcome.exitCode, std::strtoul(code, nullptr, 10));
        }
    }
}

TEST_F(ExitCodes, UninstallersExitCodeIsNotTheLaunchers) {
    const std::string folder = Ship(kShipRoot + "\\product");
    SetEnvironmentVariableA("STAND_IN_EXIT_setup", "1603");
    for (bool silent : kModes) {
        MakeEarlierInstallation();
        const LauncherRun run = Run(folder, silent ? "x" : "");
        EXPECT_EQ(run.outcome.exitCode, 0u);
        EXPECT_EQ(run.records.size(), 2u);
        EXPECT_FALSE(Exists(information_));
    }
}

TEST_F(Removal, FirstInstallationTouchesNothing) {
    const std::string folder = Ship(kShipRoot + "\\product");
    for (bool silent : kModes) {
        const LauncherRun run = Run(folder, silent ? "x" : "");
        EXPECT_EQ(run.outcome.standardOutput, OpeningLine(silent));
        ExpectOnlyInstaller(run, folder, silent);
        EXPECT_FALSE(Exists(information_));
        EXPECT_TRUE(Exists(informationRoot_));
    }
}

TEST_F(Removal, UninstallerGetsItsResponseFileAndRunsBeforeTheInstaller) {
    const std::string folder = Ship(kShipRoot + "\\product");
    for (bool silent : kModes) {
        MakeEarlierInstallation();
        const LauncherRun run = Run(folder, silent ? "x" : "");
        EXPECT_EQ(run.outcome.exitCode, 0u);
        EXPECT_EQ(run.outcome.standardOutput, RemovalOutput(silent, true));
        ASSERT_EQ(run.records.size(), 2u);
        EXPECT_TRUE(SamePath(run.records[0].module, information_ + "\\setup.exe"));
        EXPECT_EQ(run.records[0].commandLine, UninstallCommand());
        EXPECT_EQ(run.records[0].responseFile, "present:response beside the launcher");
        EXPECT_TRUE(SamePath(run.records[1].module, folder + "\\data.exe"));
        EXPECT_EQ(run.records[1].commandLine, InstallerCommand(folder, silent));
        EXPECT_EQ(run.records[1].probe, "absent") << "the installer must find the folder gone";
        EXPECT_TRUE(Exists(informationRoot_));
        EXPECT_TRUE(Exists(folder + "\\uninstall.iss"));
    }
}

TEST_F(Removal, ResponseFileAlreadyInTheFolderIsKept) {
    const std::string folder = Ship(kShipRoot + "\\product");
    MakeEarlierInstallation();
    WriteFile(information_ + "\\uninstall.iss", "earlier response\r\n");
    const LauncherRun run = Run(folder, "x");
    ASSERT_EQ(run.records.size(), 2u);
    EXPECT_EQ(run.records[0].responseFile, "present:earlier response");
    EXPECT_FALSE(Exists(information_));
}

TEST_F(Removal, NoResponseFileBesideTheLauncher) {
    const std::string folder = Ship(kShipRoot + "\\product", false);
    MakeEarlierInstallation();
    const LauncherRun run = Run(folder, "");
    ASSERT_EQ(run.records.size(), 2u);
    EXPECT_EQ(run.records[0].commandLine, UninstallCommand());
    EXPECT_EQ(run.records[0].responseFile, "absent");
    EXPECT_FALSE(Exists(information_));
}

TEST_F(Removal, FolderWithoutAnUninstallerIsStillDeleted) {
    const std::string folder = Ship(kShipRoot + "\\product");
    for (bool silent : kModes) {
        MakeEarlierInstallation(false);
        const LauncherRun run = Run(folder, silent ? "x" : "");
        EXPECT_EQ(run.outcome.standardOutput, RemovalOutput(silent, false));
        ExpectOnlyInstaller(run, folder, silent);
        EXPECT_FALSE(Exists(information_));
    }
}

TEST_F(Removal, InformationPathNamingAFileIsLeftAlone) {
    const std::string folder = Ship(kShipRoot + "\\product");
    WriteFile(information_, "a file, not a folder");
    for (bool silent : kModes) {
        const LauncherRun run = Run(folder, silent ? "x" : "");
        EXPECT_EQ(run.outcome.standardOutput, RemovalOutput(silent, false));
        ExpectOnlyInstaller(run, folder, silent);
        EXPECT_EQ(ReadFile(information_), "a file, not a folder");
    }
}

TEST_F(RemovalSafety, ReadOnlyFileKeepsItsFolders) {
    const std::string folder = Ship(kShipRoot + "\\product");
    MakeEarlierInstallation();
    MakeFolders(information_ + "\\a\\b");
    WriteFile(information_ + "\\a\\b\\locked.txt", "x");
    WriteFile(information_ + "\\a\\b\\free.txt", "x");
    MakeReadOnly(information_ + "\\a\\b\\locked.txt");

    const LauncherRun run = Run(folder, "x");
    EXPECT_EQ(run.records.size(), 2u);
    EXPECT_TRUE(Exists(information_ + "\\a\\b\\locked.txt"));
    EXPECT_FALSE(Exists(information_ + "\\a\\b\\free.txt"));
    EXPECT_FALSE(Exists(information_ + "\\setup.exe"));
    EXPECT_FALSE(Exists(information_ + "\\Disk1"));
}

TEST_F(RemovalSafety, LinkInsideTheTreeIsNeverFollowed) {
    const std::string folder = Ship(kShipRoot + "\\product");
    MakeFolders(kOutside + "\\inner");
    WriteFile(kOutside + "\\keep.txt", "keep");
    WriteFile(kOutside + "\\inner\\keep too.txt", "keep");
    for (bool silent : kModes) {
        MakeEarlierInstallation();
        MakeUnixLink(kOutside, information_ + "\\Disk1\\link");
        const LauncherRun run = Run(folder, silent ? "x" : "");
        EXPECT_EQ(run.records.size(), 2u);
        EXPECT_EQ(ReadFile(kOutside + "\\keep.txt"), "keep");
        EXPECT_EQ(ReadFile(kOutside + "\\inner\\keep too.txt"), "keep");
        EXPECT_FALSE(Exists(information_ + "\\Disk1\\Data"));
        RemoveAll(information_);
    }
}

TEST_F(RemovalSafety, InformationFolderThatIsALinkIsNeverEntered) {
    const std::string folder = Ship(kShipRoot + "\\product");
    MakeFolders(kOutside + "\\inner");
    WriteFile(kOutside + "\\keep.txt", "keep");
    WriteFile(kOutside + "\\inner\\keep too.txt", "keep");
    MakeUnixLink(kOutside, information_);

    const LauncherRun run = Run(folder, "x");
    ExpectOnlyInstaller(run, folder, true);
    EXPECT_EQ(ReadFile(kOutside + "\\keep.txt"), "keep");
    EXPECT_EQ(ReadFile(kOutside + "\\inner\\keep too.txt"), "keep");
}

TEST_F(RemovalSafety, LongNamesAreHandledWhole) {
    const std::string folder = Ship(kShipRoot + "\\product");
    SetEnvironmentVariableA("STAND_IN_EXIT_data", "3010");
    MakeEarlierInstallation();
    // Entry paths up to the platform's 259 characters, past any short fixed buffer.
    const std::string longFolder = information_ + "\\" + std::string(120, 'd');
    MakeFolders(longFolder);
    const std::size_t room = MAX_PATH - 1 - longFolder.size() - 1;
    WriteFile(longFolder + "\\" + std::string(room, 'n'), "x");
    WriteFile(information_ + "\\" + std::string(MAX_PATH - 2 - information_.size(), 'm'), "x");

    LauncherRun run = Run(folder, "x");
    EXPECT_EQ(run.outcome.exitCode, 3010u);
    EXPECT_EQ(run.records.size(), 2u);
    EXPECT_FALSE(Exists(information_));

    // A path the platform refuses is skipped; the rest goes and the installer still runs.
    MakeEarlierInstallation();
    MakeFolders(longFolder);
    const std::string tooLong = longFolder + "\\" + std::string(200, 'n');
    ASSERT_TRUE(MakeFileWithLongPath(tooLong));
    run = Run(folder, "x");
    EXPECT_EQ(run.outcome.exitCode, 3010u);
    EXPECT_EQ(run.records.size(), 2u);
    EXPECT_TRUE(ExistsWithLongPath(tooLong));
    EXPECT_FALSE(Exists(information_ + "\\setup.exe"));
}
