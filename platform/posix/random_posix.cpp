// getrandom(2), falling back to /dev/urandom on kernels without it.
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/random.h"

namespace tov {
namespace {

bool fromDevice(uint8_t* bytes, size_t size) {
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    while (size > 0) {
        const ssize_t n = ::read(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    ::close(fd);
    return size == 0;
}

}  // namespace

bool secureRandom(void* buffer, size_t size) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        const ssize_t n = ::getrandom(bytes, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == ENOSYS) return fromDevice(bytes, size);
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace tov
