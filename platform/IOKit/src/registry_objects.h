// What IOKit's port names stand for: master ports, registry entries and iterators.
#pragma once
#include "sysfs_tree.h"

#include <mach/port_names.h>

#include <mutex>
#include <vector>

namespace iokit {

class MasterPort final : public mach::PortObject {};

class RegistryEntry final : public mach::PortObject {
  public:
    explicit RegistryEntry(sysfs::Location location) : location(std::move(location)) {}
    const sysfs::Location location;
};

// A snapshot of entries taken when the iterator is made, stepped through under a lock.
class Iterator final : public mach::PortObject {
  public:
    explicit Iterator(std::vector<sysfs::Location> entries) : entries_(std::move(entries)) {}

    std::optional<sysfs::Location> next() {
        std::lock_guard lock(mutex_);
        if (position_ >= entries_.size()) return std::nullopt;
        return entries_[position_++];
    }
    void reset() {
        std::lock_guard lock(mutex_);
        position_ = 0;
    }

  private:
    std::mutex mutex_;
    std::vector<sysfs::Location> entries_;
    size_t position_ = 0;
};

} // namespace iokit
