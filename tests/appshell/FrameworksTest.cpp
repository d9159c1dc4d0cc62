// The frameworks under the shell, in this process: symbol look-up, the kit's initialiser and
// quitting the main loop on request.
#include <AppKit/AppKit.h>
#include <AppleScriptKit/AppleScriptKit.h>
#include <Foundation/Foundation.h>
#include <mach-o/dyld.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

// Exported from this executable, so a look-up across the loaded images finds it.
extern "C" __attribute__((visibility("default"), noinline)) int quintaverDyldProbe() {
    return 7;
}

namespace {

TEST(DyldTest, FindsCSymbolsByTheirMacName) {
    EXPECT_TRUE(NSIsSymbolNameDefined("_quintaverDyldProbe"));
    NSSymbol symbol = NSLookupAndBindSymbol("_quintaverDyldProbe");
    ASSERT_NE(symbol, nullptr);
    auto* probe = reinterpret_cast<int (*)()>(NSAddressOfSymbol(symbol));
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe(), 7);

    // In a shared library loaded with the process.
    EXPECT_TRUE(NSIsSymbolNameDefined("_ASKInitialize"));
    EXPECT_EQ(NSAddressOfSymbol(NSLookupAndBindSymbol("_ASKInitialize")),
              reinterpret_cast<void*>(&ASKInitialize));
}

TEST(DyldTest, NamesWithoutACSymbolAreNotFound) {
    for (const char* name : {"_quintaverNoSuchSymbol", "quintaverDyldProbe", "ASKInitialize", "_",
                             "", "__quintaverDyldProbe"}) {
        EXPECT_FALSE(NSIsSymbolNameDefined(name)) << '"' << name << '"';
        EXPECT_EQ(NSLookupAndBindSymbol(name), nullptr) << '"' << name << '"';
    }
    EXPECT_FALSE(NSIsSymbolNameDefined(nullptr));
    EXPECT_EQ(NSLookupAndBindSymbol(nullptr), nullptr);
    EXPECT_EQ(NSAddressOfSymbol(nullptr), nullptr);
}

std::string readTrace(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

TEST(AppleScriptKitTest, InitialisesOnceWhateverTheThreads) {
    std::string trace =
        std::filesystem::temp_directory_path() / ("appshell-kit-trace-" + std::to_string(getpid()));
    setenv("QUINTAVER_APPKIT_TRACE", trace.c_str(), 1);
    EXPECT_FALSE(ASKIsInitialized());

    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([] {
            ASKInitialize();
            // Every caller returns with the kit prepared, not only the first.
            EXPECT_TRUE(ASKIsInitialized());
        });
    for (auto& thread : threads)
        thread.join();
    ASKInitialize();

    unsetenv("QUINTAVER_APPKIT_TRACE");
    std::string traced = readTrace(trace);
    std::remove(trace.c_str());
    EXPECT_EQ(traced, std::string("ASKInitialize bundle ") +
                          NSBundleGetBundlePath(NSBundleGetMainBundle()) + "\n");
}

TEST(FoundationTest, AnUnbundledExecutableIsItsOwnDirectory) {
    const NSBundle* bundle = NSBundleGetMainBundle();
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(bundle, NSBundleGetMainBundle());
    std::filesystem::path executable = std::filesystem::canonical("/proc/self/exe");
    EXPECT_EQ(NSBundleGetExecutablePath(bundle), executable.string());
    EXPECT_EQ(NSBundleGetBundlePath(bundle), executable.parent_path().string());
    EXPECT_FALSE(NSBundleHasInfoDictionary(bundle));
    EXPECT_EQ(NSBundleGetInfoString(bundle, "CFBundleName"), nullptr);
    EXPECT_EQ(NSBundleGetInfoError(bundle), nullptr);
    EXPECT_EQ(NSBundleGetInfoString(nullptr, "CFBundleName"), nullptr);
    EXPECT_STREQ(NSBundleGetBundlePath(nullptr), "");
}

int runApplication() {
    const char* argv[] = {"appshell", nullptr};
    return NSApplicationMain(1, argv);
}

TEST(AppKitTest, ARequestToQuitBeforeTheLoopEndsItAsSoonAsItStarts) {
    NSApplicationTerminate();
    EXPECT_EQ(runApplication(), 0);
}

TEST(AppKitTest, QuitsWhenAnotherThreadAsks) {
    auto started = std::chrono::steady_clock::now();
    std::thread quitter([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        NSApplicationTerminate();
    });
    EXPECT_EQ(runApplication(), 0);
    quitter.join();
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(100));

    // Requests do not pile up: an earlier one has been used, so a new loop runs again.
    std::thread second([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        NSApplicationTerminate();
    });
    auto again = std::chrono::steady_clock::now();
    EXPECT_EQ(runApplication(), 0);
    second.join();
    EXPECT_GE(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(50));
}

TEST(AppKitTest, LeavesTheSignalMaskAsItFoundIt) {
    sigset_t before, after;
    pthread_sigmask(SIG_SETMASK, nullptr, &before);
    NSApplicationTerminate();
    EXPECT_EQ(runApplication(), 0);
    pthread_sigmask(SIG_SETMASK, nullptr, &after);
    EXPECT_EQ(sigismember(&before, SIGTERM), sigismember(&after, SIGTERM));
    EXPECT_EQ(sigismember(&before, SIGINT), sigismember(&after, SIGINT));
}

} // namespace
