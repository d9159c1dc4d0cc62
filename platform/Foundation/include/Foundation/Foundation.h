// Foundation as a whole.
#pragma once
#include <Foundation/FoundationExport.h>
#include <Foundation/NSBundle.h>
#include <Foundation/QuintaverTrace.h>
