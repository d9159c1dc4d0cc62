// The Java VM, cached by the loop natives (disk arbitration, power management) so that their
// platform callbacks can find the running thread's JNI environment.
#pragma once
#include <jni.h>

extern JavaVM* ourJVM;
