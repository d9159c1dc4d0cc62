// The AppleScript kit of a scripted application.
#pragma once

#ifdef __cplusplus
#define ASK_EXPORT extern "C" __attribute__((visibility("default")))
#else
#include <stdbool.h>
#define ASK_EXPORT extern __attribute__((visibility("default")))
#endif

// Prepares the kit for the application. Only the first call does the work; any number of
// calls from any threads are safe, and every call returns once the kit is prepared.
ASK_EXPORT void ASKInitialize(void);

// True once ASKInitialize has prepared the kit.
ASK_EXPORT bool ASKIsInitialized(void);
