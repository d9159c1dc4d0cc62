// Mach-port objects: the run loop waits on the port's connection and, when a message is
// there, receives it (without waiting) and hands it to the callback. A closed connection
// invalidates the object, which takes its sources out of every run loop.
#include "CFInternal.h"
#include "CFRunLoopInternal.h"

#include <CoreFoundation/CFHandle.h>

#include <CoreFoundation/CFMachPort.h>
#include <mach/message.h>
#include <mach/socket_port.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <sys/epoll.h>
#include <vector>

struct __CFMachPort {
    CFRuntimeBase base;
    mach_port_t port = MACH_PORT_NULL;
    std::shared_ptr<mach::SocketPort> connection; // keeps the socket open while we wait on it
    CFMachPortCallBack callout = nullptr;
    CFMachPortInvalidationCallBack invalidation = nullptr;
    CFMachPortContext context = {};
    std::atomic<bool> valid{true};
    std::mutex mutex;
    std::vector<uint32_t> sources; // handles, not references: each source retains the port
    std::vector<uint8_t> buffer;
    ~__CFMachPort() {
        if (context.release && context.info) context.release(context.info);
    }
};

namespace {

const CFRuntimeClass machPortClass = {"CFMachPort", _CFRuntimeDestroy<__CFMachPort>, nullptr,
                                      nullptr, nullptr};

CFTypeID machPortType() {
    static const CFTypeID id = _CFRuntimeRegisterClass(&machPortClass);
    return id;
}

__CFMachPort* asPort(CFMachPortRef port) {
    return cf::as<__CFMachPort>(port, machPortType());
}

void perform(CFTypeRef owner, uint32_t events) {
    auto* port = static_cast<__CFMachPort*>(const_cast<void*>(owner));
    if (!port->valid) return;
    if (port->buffer.size() < 1024) port->buffer.resize(1024);
    for (;;) {
        auto* header = reinterpret_cast<mach_msg_header_t*>(port->buffer.data());
        mach_msg_return_t result = mach_msg(
            header, MACH_RCV_MSG | MACH_RCV_TIMEOUT | MACH_RCV_LARGE, 0,
            static_cast<mach_msg_size_t>(port->buffer.size()), port->port, 0, MACH_PORT_NULL);
        if (result == MACH_RCV_TOO_LARGE && header->msgh_size <= MACH_MSG_SIZE_MAX &&
            header->msgh_size > port->buffer.size()) {
            port->buffer.resize(header->msgh_size);
            continue;
        }
        if (result == MACH_MSG_SUCCESS) {
            port->callout(reinterpret_cast<CFMachPortRef>(port), header,
                          static_cast<CFIndex>(header->msgh_size), port->context.info);
            return;
        }
        if (result == MACH_RCV_TIMED_OUT && !(events & (EPOLLHUP | EPOLLERR))) return;
        // The connection has closed (or the name died): nothing will come any more.
        CFMachPortInvalidate(reinterpret_cast<CFMachPortRef>(port));
        return;
    }
}

} // namespace

CFTypeID CFMachPortGetTypeID(void) {
    return machPortType();
}

CFMachPortRef CFMachPortCreateWithPort(CFAllocatorRef, mach_port_t portNum,
                                       CFMachPortCallBack callout, CFMachPortContext* context,
                                       Boolean* shouldFreeInfo) {
    if (shouldFreeInfo) *shouldFreeInfo = true;
    auto connection = mach::lookupSocketPort(portNum);
    if (!connection || !callout) return nullptr;
    __CFMachPort* port = _CFRuntimeNew<__CFMachPort>(machPortType());
    if (!port) return nullptr;
    port->port = portNum;
    port->connection = std::move(connection);
    port->callout = callout;
    if (context) {
        port->context = *context;
        if (context->retain && context->info)
            port->context.info = const_cast<void*>(context->retain(context->info));
    }
    if (shouldFreeInfo) *shouldFreeInfo = false;
    return reinterpret_cast<CFMachPortRef>(port);
}

mach_port_t CFMachPortGetPort(CFMachPortRef p) {
    __CFMachPort* port = asPort(p);
    return port ? port->port : MACH_PORT_NULL;
}

void CFMachPortGetContext(CFMachPortRef p, CFMachPortContext* context) {
    __CFMachPort* port = asPort(p);
    if (port && context) *context = port->context;
}

void CFMachPortInvalidate(CFMachPortRef p) {
    __CFMachPort* port = asPort(p);
    if (!port || !port->valid.exchange(false)) return;
    CFRetain(port); // its sources' references may be the last ones
    std::vector<uint32_t> handles;
    {
        std::lock_guard guard(port->mutex);
        handles.swap(port->sources);
    }
    std::vector<CFRunLoopSourceRef> sources;
    for (uint32_t handle : handles)
        if (CFTypeRef source = _CFHandleCopyObject(handle))
            sources.push_back(static_cast<CFRunLoopSourceRef>(const_cast<void*>(source)));
    for (CFRunLoopSourceRef source : sources)
        CFRunLoopSourceInvalidate(source);
    if (port->invalidation) port->invalidation(p, port->context.info);
    for (CFRunLoopSourceRef source : sources)
        CFRelease(source);
    CFRelease(port);
}

Boolean CFMachPortIsValid(CFMachPortRef p) {
    __CFMachPort* port = asPort(p);
    return port && port->valid;
}

void CFMachPortSetInvalidationCallBack(CFMachPortRef p, CFMachPortInvalidationCallBack callout) {
    if (__CFMachPort* port = asPort(p)) port->invalidation = callout;
}

CFRunLoopSourceRef CFMachPortCreateRunLoopSource(CFAllocatorRef, CFMachPortRef p, CFIndex order) {
    __CFMachPort* port = asPort(p);
    if (!port || !port->valid) return nullptr;
    CFRunLoopSourceRef source = _CFRunLoopSourceCreateWithDescriptor(
        port, port->connection->socket(), EPOLLIN, perform, order);
    if (!source) return nullptr;
    std::lock_guard guard(port->mutex);
    port->sources.push_back(_CFHandleFromObject(source));
    return source;
}
