// Where the registry reads the system's device tree: a directory laid out as sysfs is,
// with devices/ (the tree) and class/block/ (links from BSD names to block devices).
// "/sys" unless set; tests point it at a fixture tree.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// NULL restores "/sys". Entries made before keep reading the tree they came from.
void IOKitSetSysfsRoot(const char* path);

#ifdef __cplusplus
}
#endif
