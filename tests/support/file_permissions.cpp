#include "file_permissions.h"

#include <cstdint>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace pictavo::test {

namespace {

// The capabilities that override permission bits on reads, writes and searches.
constexpr std::uint32_t kOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

struct Capabilities
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
};

bool readCapabilities(Capabilities &caps)
{
    return syscall(SYS_capget, &caps.header, caps.data) == 0;
}

bool writeCapabilities(Capabilities &caps)
{
    return syscall(SYS_capset, &caps.header, caps.data) == 0;
}

} // namespace

FilePermissionsApply::FilePermissionsApply()
{
    Capabilities caps;
    if (!readCapabilities(caps))
        return;
    if ((caps.data[0].effective & kOverrides) == 0) {
        m_active = true; // an ordinary user, or root without the overrides
        return;
    }
    caps.data[0].effective &= ~kOverrides;
    if (writeCapabilities(caps))
        m_active = m_restore = true;
}

FilePermissionsApply::~FilePermissionsApply()
{
    if (!m_restore)
        return;
    // Still in the permitted set, so they can be taken back.
    Capabilities caps;
    if (readCapabilities(caps)) {
        caps.data[0].effective |= caps.data[0].permitted & kOverrides;
        writeCapabilities(caps);
    }
}

} // namespace pictavo::test
