// The BSD calls of <unistd.h> that Linux lacks: attribute lists (see <System/attr.h>).
#pragma once
#include <System/attr.h>
#include <cstddef>

namespace macos {

// Fills attrBuf with the attributes of path that attrList asks for, in the reply layout of
// <System/attr.h>. A buffer too small for them all holds what fits; its length field then
// says how many bytes were written, or, with FSOPT_REPORT_FULLSIZE, how many were needed.
// 0, or -1 with errno set (EINVAL for an unknown bit or a bitmapcount other than 5, ERANGE
// for a buffer without room for the length field).
int getattrlist(const char* path, struct attrlist* attrList, void* attrBuf, size_t attrBufSize,
                uint32_t options);

// Sets the attributes of path that attrList names from the values in attrBuf.
// 0, or -1 with errno set.
int setattrlist(const char* path, struct attrlist* attrList, void* attrBuf, size_t attrBufSize,
                uint32_t options);

} // namespace macos
