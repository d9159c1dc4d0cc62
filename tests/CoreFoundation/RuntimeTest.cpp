// Reference counts, destruction, registered types and native handles.
#include <CoreFoundation/CFHandle.h>
#include <CoreFoundation/CFRuntime.h>
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

std::atomic<int> finalized{0};

struct __Probe {
    CFRuntimeBase base;
    int value;
    explicit __Probe(int v) : value(v) {}
    ~__Probe() { ++finalized; }
};

Boolean probeEqual(CFTypeRef a, CFTypeRef b) {
    return static_cast<const __Probe*>(a)->value == static_cast<const __Probe*>(b)->value;
}
CFHashCode probeHash(CFTypeRef cf) {
    return static_cast<const __Probe*>(cf)->value;
}

const CFRuntimeClass probeClass = {"Probe", _CFRuntimeDestroy<__Probe>, probeEqual, probeHash,
                                   nullptr};

CFTypeID probeTypeID() {
    static const CFTypeID id = _CFRuntimeRegisterClass(&probeClass);
    return id;
}

CFTypeRef makeProbe(int value) {
    return _CFRuntimeNew<__Probe>(probeTypeID(), value);
}

TEST(Runtime, RegisteredTypeIsCountedComparedAndDestroyedOnce) {
    ASSERT_GE(probeTypeID(), CFTypeID{_kCFRuntimeFirstRegisteredID});
    int before = finalized;
    CFTypeRef a = makeProbe(7);
    CFTypeRef b = makeProbe(7);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(CFGetTypeID(a), probeTypeID());
    EXPECT_TRUE(CFEqual(a, b));
    EXPECT_EQ(CFHash(a), CFHash(b));
    EXPECT_FALSE(CFEqual(a, CFSTR("7"))); // another type is never equal

    EXPECT_EQ(CFGetRetainCount(a), 1);
    EXPECT_EQ(CFRetain(a), a);
    EXPECT_EQ(CFGetRetainCount(a), 2);
    CFRelease(a);
    EXPECT_EQ(finalized, before);
    CFRelease(a);
    CFRelease(b);
    EXPECT_EQ(finalized, before + 2);

    CFStringRef name = CFCopyTypeIDDescription(probeTypeID());
    EXPECT_EQ(_CFStringCopyUTF8String(name), "Probe");
    CFRelease(name);
}

TEST(Runtime, NullIsHarmlessEverywhere) {
    EXPECT_EQ(CFGetTypeID(nullptr), 0u);
    EXPECT_EQ(CFRetain(nullptr), nullptr);
    CFRelease(nullptr);
    EXPECT_TRUE(CFEqual(nullptr, nullptr));
    EXPECT_FALSE(CFEqual(nullptr, kCFBooleanTrue));
    EXPECT_EQ(_CFHandleFromObject(nullptr), 0u);
    EXPECT_EQ(_CFObjectFromHandle(0), nullptr);
    EXPECT_EQ(_CFHandleCopyObject(0), nullptr);
}

TEST(Handles, OneHandlePerObjectForItsLifeAndNoneAfter) {
    CFStringRef s = CFStringCreateWithCString(nullptr, "x", kCFStringEncodingUTF8);
    uint32_t handle = _CFHandleFromObject(s);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(handle & 1, 0u); // never a Mach port name (odd)
    EXPECT_EQ(_CFObjectFromHandle(handle | 1), nullptr);
    CFRetain(s);
    EXPECT_EQ(_CFHandleFromObject(s), handle);
    EXPECT_EQ(_CFObjectFromHandle(handle), s);
    CFRelease(s);
    EXPECT_EQ(_CFObjectFromHandle(handle), s);
    CFRelease(s);
    EXPECT_EQ(_CFObjectFromHandle(handle), nullptr);
    EXPECT_EQ(_CFHandleCopyObject(handle), nullptr);
}

TEST(Handles, ReleasingThroughADeadHandleDropsNothing) {
    int before = finalized;
    CFTypeRef object = makeProbe(3);
    uint32_t handle = _CFHandleFromObject(object);
    CFRetain(object);
    EXPECT_TRUE(_CFHandleRelease(handle));
    EXPECT_TRUE(_CFHandleRelease(handle));
    EXPECT_EQ(finalized, before + 1);
    EXPECT_FALSE(_CFHandleRelease(handle)); // once too often: nothing happens
    EXPECT_FALSE(_CFHandleRelease(0));
    EXPECT_TRUE(_CFHandleRelease(_CFHandleFromObject(kCFBooleanFalse))); // constants stay
    EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
}

TEST(Handles, NeverIssuedHandlesResolveToNothing) {
    for (uint32_t handle : {1u, 0x3fffffu, 0x400001u, 0x80000001u, 0xffffffffu}) {
        CFTypeRef object = _CFObjectFromHandle(handle);
        if (object) { // a live object may hold a low handle; it must then be itself
            EXPECT_EQ(_CFHandleFromObject(object), handle);
        }
    }
    EXPECT_EQ(_CFObjectFromHandle(0xffffffffu), nullptr);
}

TEST(Handles, ConstantsHaveHandlesAndStayAlive) {
    uint32_t handle = _CFHandleFromObject(kCFBooleanTrue);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(_CFHandleFromObject(kCFBooleanTrue), handle);
    CFRelease(kCFBooleanTrue);
    CFRelease(kCFBooleanTrue);
    EXPECT_EQ(_CFObjectFromHandle(handle), kCFBooleanTrue);
    CFTypeRef copy = _CFHandleCopyObject(handle);
    EXPECT_EQ(copy, kCFBooleanTrue);
    CFRelease(copy);
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
    EXPECT_NE(_CFHandleFromObject(CFSTR("constant")), 0u);
}

// Stale handles stay dead when their slots are used again, with a new generation.
TEST(Handles, ReusedSlotsDoNotReviveStaleHandles) {
    constexpr int count = 10000;
    std::vector<uint32_t> stale;
    for (int round = 0; round < 3; ++round) {
        std::vector<CFTypeRef> objects;
        for (int i = 0; i < count; ++i)
            objects.push_back(makeProbe(i));
        for (CFTypeRef object : objects) {
            uint32_t handle = _CFHandleFromObject(object);
            EXPECT_EQ(_CFObjectFromHandle(handle), object);
            stale.push_back(handle);
        }
        for (CFTypeRef object : objects)
            CFRelease(object);
    }
    std::vector<CFTypeRef> live;
    for (int i = 0; i < count; ++i)
        live.push_back(makeProbe(i));
    for (uint32_t handle : stale)
        ASSERT_EQ(_CFObjectFromHandle(handle), nullptr) << handle;
    for (CFTypeRef object : live)
        CFRelease(object);
}

TEST(Threads, ConcurrentRetainAndReleaseKeepTheCount) {
    int before = finalized;
    CFTypeRef shared = makeProbe(1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([shared] {
            for (int i = 0; i < 100000; ++i) {
                CFRetain(shared);
                CFRelease(shared);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(CFGetRetainCount(shared), 1);
    EXPECT_EQ(finalized, before);
    CFRelease(shared);
    EXPECT_EQ(finalized, before + 1);
}

// One thread drops the last reference while others resolve the handle: a copy either gets
// a live object (which then outlives the drop) or nothing, and the object dies exactly once.
TEST(Threads, CopyingAHandleRacesSafelyWithTheLastRelease) {
    for (int round = 0; round < 200; ++round) {
        int before = finalized;
        CFTypeRef object = makeProbe(round);
        uint32_t handle = _CFHandleFromObject(object);
        std::atomic<bool> go{false};
        std::vector<std::thread> readers;
        for (int t = 0; t < 3; ++t) {
            readers.emplace_back([&] {
                while (!go) {
                }
                for (int i = 0; i < 200; ++i) {
                    if (CFTypeRef held = _CFHandleCopyObject(handle)) {
                        EXPECT_EQ(static_cast<const __Probe*>(held)->value, round);
                        CFRelease(held);
                    }
                }
            });
        }
        go = true;
        CFRelease(object);
        for (auto& reader : readers)
            reader.join();
        EXPECT_EQ(finalized, before + 1);
        EXPECT_EQ(_CFObjectFromHandle(handle), nullptr);
    }
}

} // namespace
