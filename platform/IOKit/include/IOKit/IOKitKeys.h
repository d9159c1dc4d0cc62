// Names of registry planes and of the property keys the registry uses.
#pragma once

// The one plane of this registry: devices and the devices they provide.
#define kIOServicePlane "IOService"

#define kIOProviderClassKey "IOProviderClass"
#define kIOClassKey "IOClass"
#define kIONameMatchKey "IONameMatch"

// Keys of storage media (block devices).
#define kIOBSDNameKey "BSD Name"
#define kIOBSDMajorKey "BSD Major"
#define kIOBSDMinorKey "BSD Minor"
#define kIOMediaClass "IOMedia"
#define kIOMediaSizeKey "Size"
#define kIOMediaRemovableKey "Removable"
#define kIOMediaWritableKey "Writable"
#define kIOMediaWholeKey "Whole"
#define kIOMediaPreferredBlockSizeKey "Preferred Block Size"
