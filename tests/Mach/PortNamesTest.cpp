// The task's port names and their user references.
#include <mach/mach.h>
#include <mach/port_names.h>

#include <gtest/gtest.h>

namespace {

struct Thing : mach::PortObject {
    explicit Thing(bool* gone) : gone(gone) {}
    ~Thing() override { *gone = true; }
    bool* gone;
};
struct Other : mach::PortObject {};

TEST(PortNames, ReferencesKeepTheNameAndTheLastOneEndsIt) {
    bool gone = false;
    mach_port_name_t name = mach::insertName(std::make_shared<Thing>(&gone));
    ASSERT_TRUE(MACH_PORT_VALID(name));
    EXPECT_EQ(name & 1, 1u); // never a CoreFoundation handle (even)
    EXPECT_NE(mach::lookup<Thing>(name), nullptr);
    EXPECT_EQ(mach::lookup<Other>(name), nullptr); // a name of another kind

    EXPECT_EQ(mach_port_mod_refs(mach_task_self(), name, MACH_PORT_RIGHT_SEND, 2), KERN_SUCCESS);
    mach_port_urefs_t refs = 0;
    EXPECT_EQ(mach_port_get_refs(mach_task_self(), name, MACH_PORT_RIGHT_SEND, &refs),
              KERN_SUCCESS);
    EXPECT_EQ(refs, 3u);
    EXPECT_EQ(mach_port_mod_refs(mach_task_self(), name, MACH_PORT_RIGHT_SEND, -4),
              KERN_INVALID_VALUE);

    auto held = mach::lookup<Thing>(name); // a call in progress keeps the object
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(mach_port_deallocate(mach_task_self(), name), KERN_SUCCESS);
    EXPECT_EQ(mach::lookupName(name), nullptr);
    EXPECT_FALSE(gone);
    held.reset();
    EXPECT_TRUE(gone);

    EXPECT_EQ(mach_port_deallocate(mach_task_self(), name), KERN_INVALID_NAME);
    EXPECT_NE(mach::insertName(std::make_shared<Other>()), name); // not reissued
}

TEST(PortNames, TaskPortAndBadArguments) {
    mach_port_t self = mach_task_self();
    EXPECT_TRUE(MACH_PORT_VALID(self));
    EXPECT_EQ(mach_task_self(), self);
    EXPECT_EQ(mach_port_deallocate(self, self), KERN_SUCCESS); // never goes away
    EXPECT_NE(mach::lookupName(self), nullptr);
    EXPECT_EQ(mach_port_deallocate(self, MACH_PORT_NULL), KERN_SUCCESS);
    EXPECT_EQ(mach_port_deallocate(self, MACH_PORT_DEAD), KERN_SUCCESS);
    EXPECT_EQ(mach_port_deallocate(self, 0x7fffff00), KERN_INVALID_NAME);
    EXPECT_EQ(mach_port_deallocate(self + 1, self), KERN_INVALID_TASK);
    EXPECT_EQ(mach::insertName(nullptr), MACH_PORT_NULL);
}

} // namespace
