// The main bundle: the application bundle the running executable sits in.
//
// An executable at Name.app/Contents/MacOS/<executable> belongs to the bundle Name.app, whose
// information dictionary is Name.app/Contents/Info.plist (XML or binary). An executable
// anywhere else has its own directory as its bundle and no information dictionary.
//
// The main bundle is looked up once, on first use, and lives as long as the process; every
// function here may be called from any thread.
#pragma once
#include <Foundation/FoundationExport.h>

typedef struct NSBundle NSBundle;

// The main bundle; never null.
FOUNDATION_EXPORT const NSBundle* NSBundleGetMainBundle(void);

// The bundle's directory ("" when the executable's own path cannot be found).
FOUNDATION_EXPORT const char* NSBundleGetBundlePath(const NSBundle* bundle);

// The running executable's path, symbolic links resolved ("" when it cannot be found).
FOUNDATION_EXPORT const char* NSBundleGetExecutablePath(const NSBundle* bundle);

// True when the bundle has an information dictionary that was read.
FOUNDATION_EXPORT bool NSBundleHasInfoDictionary(const NSBundle* bundle);

// The string value of a key of the information dictionary; null when the key is absent,
// its value is no string, or there is no dictionary.
FOUNDATION_EXPORT const char* NSBundleGetInfoString(const NSBundle* bundle, const char* key);

// Null when the information dictionary was read or the bundle has none; otherwise one line
// saying which file could not be read and why (the bundle is then broken).
FOUNDATION_EXPORT const char* NSBundleGetInfoError(const NSBundle* bundle);
