// Disk arbitration: runDiskArbLoop connects to Disk Arbitration for a Java client object and
// runs the calling thread's run loop, in which each notification reaches a native callback
// below and, through it, the client's Java method; DiskArbRequestMount_auto asks for a mount.
#include "JNIFrame.h"
#include "OurJVM.h"

#include <CoreFoundation/CoreFoundation.h>
#include <DiskArbitration/DiskArbitration.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mach/mach.h>

namespace {

jobject diskArbClient = nullptr;
mach_port_t diskArbitrationPort = MACH_PORT_NULL;
mach_msg_header_t* msgSendBufPtr = nullptr;
constexpr int msgSendBufLength = 1024;
// The answer to every unmount and eject pre-notification: no objection.
constexpr int refuse = 0;
// The state above holds one loop: a second call while one runs would hand the first loop's
// callbacks another thread's local reference, so it is turned away.
std::atomic<bool> loopRunning{false};

struct LoopClaim {
    ~LoopClaim() { loopRunning.store(false); }
};

} // namespace

jmethodID DiskApproval_callbackMID = nullptr;
jmethodID unrecognizedCallbackMID = nullptr;
jmethodID UnknownFS_callbackMID = nullptr;
jmethodID DiskWillbeChecked_callbackMID = nullptr;
jmethodID CallFailed_callbackMID = nullptr;
jmethodID CallSucceeded_callbackMID = nullptr;
jmethodID reserveCallbackMID = nullptr;
jmethodID callbackMID = nullptr;
jmethodID DiskAppearedComplete_callbackMID = nullptr;
jmethodID UnmountPreNotification_callbackMID = nullptr;
jmethodID DiskApprovedAck_callbackMID = nullptr;
jmethodID UnmountPostNotification_callbackMID = nullptr;
jmethodID EjectPreNotification_callbackMID = nullptr;
jmethodID ClientDisconnected_callbackMID = nullptr;
jmethodID EjectPostNotification_callbackMID = nullptr;
jmethodID DiskChanged_callbackMID = nullptr;
jmethodID NotificationComplete_callbackMID = nullptr;

namespace {

struct CallbackMethod {
    const char* name;
    const char* signature;
    jmethodID* id;
    const char* idName;
};

const CallbackMethod callbackMethods[] = {
    {"DiskApproval_callback",
     "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;IIIILjava/lang/"
     "String;)V",
     &DiskApproval_callbackMID, "DiskApproval_callbackMID"},
    {"unrecognizedCallback", "(Ljava/lang/String;ILjava/lang/String;Ljava/lang/String;III)V",
     &unrecognizedCallbackMID, "unrecognizedCallbackMID"},
    {"UnknownFS_callback", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;III)V",
     &UnknownFS_callbackMID, "UnknownFS_callbackMID"},
    {"DiskWillbeChecked_callback", "(Ljava/lang/String;ILjava/lang/String;)V",
     &DiskWillbeChecked_callbackMID, "DiskWillbeChecked_callbackMID"},
    {"CallFailed_callback", "(Ljava/lang/String;II)V", &CallFailed_callbackMID,
     "CallFailed_callbackMID"},
    {"CallSucceeded_callback", "(Ljava/lang/String;I)V", &CallSucceeded_callbackMID,
     "CallSucceeded_callbackMID"},
    {"reserveCallback", "(Ljava/lang/String;II)V", &reserveCallbackMID, "reserveCallbackMID"},
    {"DiskAppeared2_callback",
     "(Ljava/lang/String;ILjava/lang/String;Ljava/lang/String;Ljava/lang/String;I)V", &callbackMID,
     "callbackMID"},
    {"DiskAppearedComplete_callback",
     "(Ljava/lang/String;ILjava/lang/String;Ljava/lang/String;Ljava/lang/String;IDLjava/lang/"
     "String;Ljava/lang/String;)V",
     &DiskAppearedComplete_callbackMID, "DiskAppearedComplete_callbackMID"},
    {"UnmountPreNotification_callback", "(Ljava/lang/String;I)V",
     &UnmountPreNotification_callbackMID, "UnmountPreNotification_callbackMID"},
    {"DiskApprovedAck_callback", "(Ljava/lang/String;I)V", &DiskApprovedAck_callbackMID,
     "DiskApprovedAck_callbackMID"},
    {"UnmountPostNotification_callback", "(Ljava/lang/String;II)V",
     &UnmountPostNotification_callbackMID, "UnmountPostNotification_callbackMID"},
    {"EjectPreNotification_callback", "(Ljava/lang/String;I)V", &EjectPreNotification_callbackMID,
     "EjectPreNotification_callbackMID"},
    {"ClientDisconnected_callback", "()V", &ClientDisconnected_callbackMID,
     "ClientDisconnected_callbackMID"},
    {"EjectPostNotification_callback", "(Ljava/lang/String;II)V",
     &EjectPostNotification_callbackMID, "EjectPostNotification_callbackMID"},
    {"DiskChanged_callback", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;II)V",
     &DiskChanged_callbackMID, "DiskChanged_callbackMID"},
    {"NotificationComplete_callback", "(I)V", &NotificationComplete_callbackMID,
     "NotificationComplete_callbackMID"},
};

// The loop thread's environment, or null (the line printed) when the VM does not give it.
JNIEnv* callbackEnvironment() {
    JNIEnv* env = nullptr;
    jint status = ourJVM->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_2);
    if (status != 0) {
        std::printf("Got return status %d from GetEnv\n", status);
        std::fflush(stdout);
        return nullptr;
    }
    return env;
}

// Calls the client's method, if it has one; what it throws is described and cleared so the
// loop goes on with the next event.
template <class... Args> void callClient(JNIEnv* env, jmethodID method, Args... args) {
    if (!method) return;
    env->CallVoidMethod(diskArbClient, method, args...);
    jni::describeAndClearException(env);
}

void DiskAppearedComplete_callback(DiskArbDiskIdentifier diskIdentifier, unsigned int flags,
                                   DiskArbMountpoint mountpoint, DiskArbIOContent ioContent,
                                   DiskArbDeviceTreePath deviceTreePath,
                                   unsigned int sequenceNumber, double timeAppeared,
                                   DiskArbGenericString fsType, DiskArbGenericString fsName) {
    JNIEnv* env = callbackEnvironment();
    if (!env) return;
    jni::LocalString disk(env, diskIdentifier);
    jni::LocalString mount(env, mountpoint);
    jni::LocalString content(env, ioContent);
    jni::LocalString path(env, deviceTreePath);
    jni::LocalString type(env, fsType);
    jni::LocalString name(env, fsName);
    callClient(env, DiskAppearedComplete_callbackMID, disk.get(), static_cast<jint>(flags),
               mount.get(), content.get(), path.get(), static_cast<jint>(sequenceNumber),
               static_cast<jdouble>(timeAppeared), type.get(), name.get());
}

void UnmountPreNotification_callback(DiskArbDiskIdentifier diskIdentifier, unsigned int) {
    DiskArbUnmountPreNotifyAck_async_auto(diskIdentifier, refuse);
}

void UnmountPostNotification_callback(DiskArbDiskIdentifier diskIdentifier, int errorCode,
                                      pid_t pid) {
    JNIEnv* env = callbackEnvironment();
    if (!env) return;
    jni::LocalString disk(env, diskIdentifier);
    callClient(env, UnmountPostNotification_callbackMID, disk.get(), static_cast<jint>(errorCode),
               static_cast<jint>(pid));
}

void EjectPreNotification_callback(DiskArbDiskIdentifier diskIdentifier, unsigned int flags) {
    JNIEnv* env = callbackEnvironment();
    if (!env) return;
    {
        jni::LocalString disk(env, diskIdentifier);
        callClient(env, EjectPreNotification_callbackMID, disk.get(), static_cast<jint>(flags));
    }
    DiskArbEjectPreNotifyAck_async_auto(diskIdentifier, refuse);
}

void EjectPostNotification_callback(DiskArbDiskIdentifier diskIdentifier, int errorCode,
                                    pid_t pid) {
    JNIEnv* env = callbackEnvironment();
    if (!env) return;
    jni::LocalString disk(env, diskIdentifier);
    callClient(env, EjectPostNotification_callbackMID, disk.get(), static_cast<jint>(errorCode),
               static_cast<jint>(pid));
}

void NotificationComplete_callback(int messageType) {
    JNIEnv* env = callbackEnvironment();
    if (!env) return;
    callClient(env, NotificationComplete_callbackMID, static_cast<jint>(messageType));
}

// Events this client takes no part in.
void CallFailed_callback(DiskArbDiskIdentifier, int, int) {}
void ClientDisconnected_callback() {}
void DiskChanged_callback(DiskArbDiskIdentifier, DiskArbMountpoint, DiskArbGenericString, int,
                          int) {}
void DiskWillbeChecked_callback(DiskArbDiskIdentifier, int, DiskArbIOContent) {}

void MyHandleMachMessage(CFMachPortRef, void* msg, CFIndex, void*) {
    DiskArbHandleMsg(static_cast<mach_msg_header_t*>(msg), msgSendBufPtr);
    mach_msg_send(msgSendBufPtr);
}

} // namespace

extern "C" {

JNIEXPORT void JNICALL
Java_com_quenlark_util_macos_macosx_diskarbclient_DiskArbitrationNativeRoutines_runDiskArbLoop(
    JNIEnv* env, jclass, jobject client) {
    if (!client) return;
    if (loopRunning.exchange(true)) {
        std::printf("FAILURE: runDiskArbLoop() is running already\n");
        std::fflush(stdout);
        return;
    }
    LoopClaim claim;
    diskArbClient = client;
    env->GetJavaVM(&ourJVM);
    jclass clientClass = env->GetObjectClass(diskArbClient);
    for (const CallbackMethod& method : callbackMethods) {
        *method.id = env->GetMethodID(clientClass, method.name, method.signature);
        if (!*method.id) {
            std::printf("Failed to retried method id for %s\n", method.idName);
            std::fflush(stdout);
            // The failed look-up left a NoSuchMethodError pending; the set-up goes on.
            env->ExceptionClear();
        }
    }

    kern_return_t status = DiskArbStart(&diskArbitrationPort);
    if (status != 0) {
        std::printf("FAILURE: DiskArbStart() -> %d\n", status);
        std::fflush(stdout);
        return;
    }

    DiskArbRegisterCallback_CallFailedNotification(CallFailed_callback);
    DiskArbRegisterCallback_UnmountPreNotification(UnmountPreNotification_callback);
    DiskArbRegisterCallback_UnmountPostNotification(UnmountPostNotification_callback);
    DiskArbRegisterCallback_EjectPreNotification(EjectPreNotification_callback);
    DiskArbRegisterCallback_EjectPostNotification(EjectPostNotification_callback);
    DiskArbRegisterCallback_ClientDisconnectedNotification(ClientDisconnected_callback);
    DiskArbRegisterCallback_DiskChangedNotification(DiskChanged_callback);
    DiskArbRegisterCallback_NotificationComplete(NotificationComplete_callback);
    DiskArbRegisterCallback_DiskWillBeCheckedNotification(DiskWillbeChecked_callback);
    DiskArbAddCallbackHandler(kDA_DISK_APPEARED_COMPLETE,
                              reinterpret_cast<void*>(DiskAppearedComplete_callback), 0);

    DiskArbUpdateClientFlags();

    msgSendBufPtr = static_cast<mach_msg_header_t*>(std::malloc(msgSendBufLength));
    if (!msgSendBufPtr) {
        std::printf("FAILURE: msgSendBufPtr = malloc(%d)\n", msgSendBufLength);
        std::fflush(stdout);
        return;
    }

    CFMachPortContext context = {0, nullptr, nullptr, nullptr, nullptr};
    Boolean shouldFreeInfo = false;
    CFMachPortRef port = CFMachPortCreateWithPort(kCFAllocatorDefault, diskArbitrationPort,
                                                  MyHandleMachMessage, &context, &shouldFreeInfo);
    if (!port) {
        std::printf("FAILURE: could not create CFMachPort\n");
        return;
    }
    CFRunLoopSourceRef source = CFMachPortCreateRunLoopSource(kCFAllocatorDefault, port, 0);
    if (!source) {
        std::printf("FAILURE: could not create CFRunLoopSource\n");
        return;
    }
    CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopDefaultMode);
    CFRelease(port);
    CFRelease(source);
    CFRunLoopRun();
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_diskarbclient_DiskArbitrationNativeRoutines_DiskArbRequestMount_1auto(
    JNIEnv* env, jclass, jstring diskID) {
    if (!diskID) return -1;
    jni::UTFChars disk(env, diskID);
    if (!disk) return -1;
    return DiskArbRequestMount_auto(disk);
}

} // extern "C"
