// Preloaded into lesson02 for one test: the 550-byte path buffer cannot be
// allocated, as if memory had run out. Every other allocation goes through.
// (Not for sanitized builds: the sanitizers own calloc there.)

#include <cerrno>
#include <cstddef>

extern "C" void* __libc_calloc(std::size_t count, std::size_t size);

extern "C" void* calloc(std::size_t count, std::size_t size)
{
    if (count == 550 && size == 1) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_calloc(count, size);
}
