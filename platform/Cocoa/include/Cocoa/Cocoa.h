// Cocoa: Foundation and AppKit together.
#pragma once
#include <AppKit/AppKit.h>
#include <Foundation/Foundation.h>
