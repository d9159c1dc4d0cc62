#include "Probe.h"
#include <blkid/blkid.h>

namespace diskarb {
namespace {

std::string lookup(blkid_probe probe, const char* name) {
    const char* value = nullptr;
    size_t length = 0;
    if (blkid_probe_lookup_value(probe, name, &value, &length) != 0 || !value) return {};
    std::string s(value, length);
    while (!s.empty() && s.back() == '\0')
        s.pop_back();
    return s;
}

} // namespace

Contents probeContents(const std::string& devicePath) {
    Contents contents;
    blkid_probe probe = blkid_new_probe_from_filename(devicePath.c_str());
    if (!probe) return contents;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL);
    blkid_probe_enable_partitions(probe, 1);
    blkid_probe_set_partitions_flags(probe, BLKID_PARTS_ENTRY_DETAILS);
    if (blkid_do_safeprobe(probe) == 0) {
        contents.fsType = lookup(probe, "TYPE");
        contents.fsName = lookup(probe, "LABEL");
        contents.ioContent = lookup(probe, "PART_ENTRY_TYPE");
        if (contents.ioContent.empty()) contents.ioContent = lookup(probe, "PTTYPE");
    }
    blkid_free_probe(probe);
    return contents;
}

} // namespace diskarb
