// The built executable, started as a child process: its link order, the kit's initialiser
// before the main loop, its arguments and exit status, and the real main loop in a bundle.
#include "ChildProcess.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

const std::string stubs = APPSHELL_STUBS;

// What the recording stand-ins wrote down (see stubs/RecordingAppKit.cpp).
struct Recorded {
    std::vector<std::string> calls; // in order: "ASKInitialize", "NSApplicationMain"
    int argc = -1;
    std::string kit;
    std::vector<std::string> arguments;
    bool argvEndsWithNull = false;
};

Recorded parseRecord(const std::string& text) {
    Recorded recorded;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (line.starts_with("arg ")) {
            // "arg <length> <bytes>\n": the bytes may hold newlines of their own.
            size_t space = text.find(' ', at + 4);
            size_t length = std::stoul(text.substr(at + 4, space - at - 4));
            recorded.arguments.push_back(text.substr(space + 1, length));
            at = space + 1 + length + 1;
            continue;
        }
        if (line.starts_with("NSApplicationMain ")) {
            char kit[32] = {};
            std::sscanf(line.c_str(), "NSApplicationMain %d kit %31s", &recorded.argc, kit);
            recorded.kit = kit;
            recorded.calls.push_back("NSApplicationMain");
        } else if (line == "end null") {
            recorded.argvEndsWithNull = true;
        } else {
            recorded.calls.push_back(line);
        }
        at = end + 1;
    }
    return recorded;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line))
        result.push_back(line);
    return result;
}

class AppShellTest : public ::testing::Test {
  protected:
    TemporaryDirectory directory;
    std::string recordPath = directory.path() + "/record";

    // Runs the shell over the given stand-in folders (searched before the real frameworks)
    // and returns its wait status.
    std::optional<int> runOver(const std::vector<std::string>& stubFolders,
                               const std::vector<std::string>& arguments = {"appshell"},
                               const std::string& status = "0") {
        std::string libraryPath;
        for (const auto& folder : stubFolders)
            libraryPath += (libraryPath.empty() ? "" : ":") + stubs + "/" + folder;
        ChildProcess child(APPSHELL_PATH, arguments,
                           {.environment = {{"LD_LIBRARY_PATH", libraryPath},
                                            {"APPSHELL_TEST_RECORD", recordPath},
                                            {"APPSHELL_TEST_STATUS", status}}});
        if (!child.started()) return std::nullopt;
        return child.wait();
    }

    Recorded recorded() const { return parseRecord(readFile(recordPath)); }
};

TEST_F(AppShellTest, LinksItsFrameworksInOrderThenTheSystemLibrary) {
    FILE* readelf = popen(("readelf -d '" + std::string(APPSHELL_PATH) + "'").c_str(), "r");
    ASSERT_NE(readelf, nullptr);
    std::vector<std::string> needed;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, readelf) != nullptr) {
        std::string line = buffer;
        size_t open = line.find("Shared library: [");
        if (open != std::string::npos)
            needed.push_back(line.substr(open + 17, line.find(']', open) - open - 17));
    }
    ASSERT_EQ(pclose(readelf), 0);

    // Sanitizer runtimes may come first; the frameworks and libc keep their order.
    std::vector<std::string> expected = {"libCocoa.so", "libAppleScriptKit.so", "libFoundation.so",
                                         "libAppKit.so", "libc.so.6"};
    std::vector<std::string> ours;
    for (const auto& library : needed)
        if (std::find(expected.begin(), expected.end(), library) != expected.end())
            ours.push_back(library);
    EXPECT_EQ(ours, expected) << "NEEDED entries: " << testing::PrintToString(needed);
}

TEST_F(AppShellTest, WithAKitWithoutInitialiserGoesStraightToTheMainLoop) {
    auto status = runOver({"kit-without-initializer", "appkit-recording"});
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    Recorded got = recorded();
    EXPECT_EQ(got.calls, std::vector<std::string>{"NSApplicationMain"});
    EXPECT_EQ(got.kit, "absent"); // the kit in the process is the one without initialiser
}

TEST_F(AppShellTest, RunsTheKitsInitialiserOnceBeforeTheMainLoop) {
    auto status = runOver({"kit-recording", "appkit-recording"});
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    Recorded got = recorded();
    EXPECT_EQ(got.calls, (std::vector<std::string>{"ASKInitialize", "NSApplicationMain"}));
    EXPECT_EQ(got.kit, "initialised");
}

TEST_F(AppShellTest, TheRealKitIsInitialisedBeforeTheMainLoop) {
    auto status = runOver({"appkit-recording"});
    ASSERT_TRUE(status.has_value());
    Recorded got = recorded();
    EXPECT_EQ(got.calls, std::vector<std::string>{"NSApplicationMain"});
    EXPECT_EQ(got.kit, "initialised");
}

TEST_F(AppShellTest, ExitStatusIsWhatTheMainLoopReturns) {
    for (int expected : {0, 1, 42, 255}) {
        std::remove(recordPath.c_str());
        auto status =
            runOver({"kit-recording", "appkit-recording"}, {"appshell"}, std::to_string(expected));
        ASSERT_TRUE(status.has_value()) << expected;
        ASSERT_TRUE(WIFEXITED(*status)) << expected << ": wait status " << *status;
        EXPECT_EQ(WEXITSTATUS(*status), expected);
    }
}

TEST_F(AppShellTest, EveryArgumentReachesTheMainLoopUnchanged) {
    std::vector<std::string> arguments = {"/path with spaces/appshell",
                                          "",
                                          "two words",
                                          " ",
                                          "tab\tand\nnewline",
                                          "-psn_0_12345",
                                          "--",
                                          "-NSDocumentRevisionsDebugMode",
                                          "YES",
                                          "\xc3\xbc"
                                          "nic"
                                          "\xc3\xb6"
                                          "de",
                                          "$HOME",
                                          "*",
                                          "'quoted'",
                                          "\"double\"",
                                          "\\"};
    auto status = runOver({"kit-recording", "appkit-recording"}, arguments);
    ASSERT_TRUE(status.has_value());
    Recorded got = recorded();
    EXPECT_EQ(got.argc, static_cast<int>(arguments.size()));
    EXPECT_EQ(got.arguments, arguments);
    EXPECT_TRUE(got.argvEndsWithNull);
}

// The real frameworks: the sample bundle runs until it is asked to quit.
class SampleAppTest : public ::testing::TestWithParam<int> {};

TEST_P(SampleAppTest, RunsUntilSignalledAndReadsItsInfoPlist) {
    TemporaryDirectory directory;
    std::string trace = directory.path() + "/trace";
    std::string bundle = fs::canonical(SAMPLE_APP_PATH);
    ChildProcess child(bundle + "/Contents/MacOS/appshell", {"Sample"},
                       {.environment = {{"QUINTAVER_APPKIT_TRACE", trace}}});
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(waitForLine(trace, "loop")) << readFile(trace);
    // The loop blocks without spinning: it is still there a moment later.
    EXPECT_FALSE(child.wait(std::chrono::milliseconds(100)).has_value());

    child.signal(GetParam());
    auto status = child.wait();
    ASSERT_TRUE(status.has_value()) << "still running after the signal";
    ASSERT_TRUE(WIFEXITED(*status)) << "wait status " << *status;
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    std::string signalName = std::string("SIG") + sigabbrev_np(GetParam());
    EXPECT_EQ(lines(readFile(trace)),
              (std::vector<std::string>{"ASKInitialize bundle " + bundle,
                                        "NSApplicationMain argc 1", "bundle " + bundle,
                                        "name Sample", "identifier com.quenlark.sample", "loop",
                                        "quit " + signalName, "return 0"}));
}

INSTANTIATE_TEST_SUITE_P(QuitSignals, SampleAppTest, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

std::string binaryPlist(const std::string& name) {
    plist_t dictionary = plist_new_dict();
    plist_dict_set_item(dictionary, "CFBundleName", plist_new_string(name.c_str()));
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(dictionary, &bytes, &length);
    std::string result(bytes, length);
    plist_to_bin_free(bytes);
    plist_free(dictionary);
    return result;
}

std::string xmlPlist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body +
           "\n</plist>\n";
}

struct BundleCase {
    std::string label;
    std::optional<std::string> infoPlist; // none: the bundle has no Info.plist
    std::string expectedName;             // empty: the application must not start
    std::string expectedError;            // what standard error says then
};

class BundleTest : public ::testing::TestWithParam<BundleCase> {};

TEST_P(BundleTest, TakesTheApplicationFromItsBundle) {
    const BundleCase& param = GetParam();
    TemporaryDirectory directory;
    std::string bundle = fs::canonical(directory.path()).string() + "/Probe.app";
    fs::create_directories(bundle + "/Contents/MacOS");
    fs::copy_file(APPSHELL_PATH, bundle + "/Contents/MacOS/appshell");
    fs::permissions(bundle + "/Contents/MacOS/appshell", fs::perms::owner_all);
    if (param.infoPlist)
        std::ofstream(bundle + "/Contents/Info.plist", std::ios::binary) << *param.infoPlist;

    std::string trace = directory.path() + "/trace";
    std::string errors = directory.path() + "/stderr";
    ChildProcess child(
        bundle + "/Contents/MacOS/appshell", {"appshell"},
        {.environment = {{"QUINTAVER_APPKIT_TRACE", trace}}, .standardError = errors});
    ASSERT_TRUE(child.started());

    if (param.expectedName.empty()) {
        auto status = child.wait();
        ASSERT_TRUE(status.has_value()) << "a broken bundle must not start its main loop";
        ASSERT_TRUE(WIFEXITED(*status)) << "wait status " << *status;
        EXPECT_EQ(WEXITSTATUS(*status), 1);
        EXPECT_EQ(readFile(errors), bundle + "/Contents/Info.plist: " + param.expectedError + "\n");
        return;
    }
    ASSERT_TRUE(waitForLine(trace, "loop")) << readFile(trace) << readFile(errors);
    child.signal(SIGTERM);
    auto status = child.wait();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    std::vector<std::string> traced = lines(readFile(trace));
    EXPECT_NE(std::find(traced.begin(), traced.end(), "bundle " + bundle), traced.end());
    EXPECT_NE(std::find(traced.begin(), traced.end(), "name " + param.expectedName), traced.end())
        << readFile(trace);
    EXPECT_EQ(readFile(errors), "");
}

INSTANTIATE_TEST_SUITE_P(
    InfoPlists, BundleTest,
    ::testing::Values(
        BundleCase{"Xml",
                   xmlPlist("<dict><key>CFBundleName</key><string>Probe Name</string>"
                            "<key>CFBundleExecutable</key><string>x</string></dict>"),
                   "Probe Name", ""},
        BundleCase{"Binary", binaryPlist("Binary Probe"), "Binary Probe", ""},
        BundleCase{"ExecutableNameOnly",
                   xmlPlist("<dict><key>CFBundleExecutable</key><string>probe</string></dict>"),
                   "probe", ""},
        BundleCase{"NameIsNoString",
                   xmlPlist("<dict><key>CFBundleName</key><integer>7</integer></dict>"), "appshell",
                   ""},
        BundleCase{"NoInfoPlist", std::nullopt, "appshell", ""},
        BundleCase{"Garbage", std::string("this is no property list"), "", "not a property list"},
        BundleCase{"Empty", std::string(), "", "not a property list"},
        BundleCase{"ArrayAtTheRoot", xmlPlist("<array><string>a</string></array>"), "",
                   "not a dictionary"}),
    [](const auto& info) { return info.param.label; });

TEST(UnbundledAppShellTest, RunsWithItsDirectoryAsBundle) {
    TemporaryDirectory directory;
    std::string trace = directory.path() + "/trace";
    std::string executable = fs::canonical(APPSHELL_PATH);
    ChildProcess child(executable, {"appshell"},
                       {.environment = {{"QUINTAVER_APPKIT_TRACE", trace}}});
    ASSERT_TRUE(waitForLine(trace, "loop")) << readFile(trace);
    child.signal(SIGTERM);
    auto status = child.wait();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    std::vector<std::string> traced = lines(readFile(trace));
    std::string folder = fs::path(executable).parent_path();
    EXPECT_NE(std::find(traced.begin(), traced.end(), "bundle " + folder), traced.end());
    EXPECT_NE(std::find(traced.begin(), traced.end(), "name appshell"), traced.end());
}

} // namespace
