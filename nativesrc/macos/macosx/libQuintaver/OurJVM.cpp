#include "OurJVM.h"

// One variable for the whole library: both loop natives write it with the same VM.
JavaVM* ourJVM = nullptr;
