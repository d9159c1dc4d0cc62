// CoreFoundation: the object model the other frameworks hand their values out in.
#pragma once
#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFString.h>
// Frameworks built on these types add their headers beside them.
#if __has_include(<CoreFoundation/CFRunLoop.h>)
#include <CoreFoundation/CFRunLoop.h>
#endif
#if __has_include(<CoreFoundation/CFMachPort.h>)
#include <CoreFoundation/CFMachPort.h>
#endif
