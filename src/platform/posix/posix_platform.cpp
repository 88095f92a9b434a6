// Construction and teardown of the shared POSIX part of the Linux back ends.
#include "platform/posix/posix_platform.h"

namespace lumivex {

PosixPlatform::PosixPlatform() = default;

PosixPlatform::~PosixPlatform() = default;

} // namespace lumivex
