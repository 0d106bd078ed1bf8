#include "common/resource_path.hpp"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace lesson {

namespace {
// Room for the joined path and its terminating NUL.
const std::size_t PATH_BUFFER_SIZE = 550;
} // namespace

char* resource_path(const char* path)
{
    const std::size_t root_length = std::strlen(RESOURCES_PATH);
    const std::size_t name_length = std::strlen(path);

    // Refuse a path that would not fit rather than write past the buffer.
    if (root_length + name_length > PATH_BUFFER_SIZE - 1) {
        SDL_SetError("Resource path too long: %lu characters, the limit is %lu",
                     static_cast<unsigned long>(root_length + name_length),
                     static_cast<unsigned long>(PATH_BUFFER_SIZE - 1));
        return nullptr;
    }

    char* full_path = static_cast<char*>(std::calloc(PATH_BUFFER_SIZE, 1));
    if (full_path == nullptr) {
        SDL_OutOfMemory();
        return nullptr;
    }

    // The directory, then the name with its terminating NUL.
    std::memcpy(full_path, RESOURCES_PATH, root_length);
    std::memcpy(full_path + root_length, path, name_length + 1);
    return full_path;
}

} // namespace lesson
