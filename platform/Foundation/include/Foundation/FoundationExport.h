// How Foundation's functions are declared: C linkage, visible outside the library.
#pragma once

#ifdef __cplusplus
#define FOUNDATION_EXPORT extern "C" __attribute__((visibility("default")))
#else
#include <stdbool.h>
#define FOUNDATION_EXPORT extern __attribute__((visibility("default")))
#endif
