// AppKit as a whole.
#pragma once
#include <AppKit/NSApplication.h>
