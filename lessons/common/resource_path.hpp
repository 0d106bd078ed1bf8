// Resource paths: turn a name under resources/ into an absolute path.
#pragma once

namespace lesson {

// The absolute path of the resources directory, with '/' separators and a
// trailing '/'. CMake writes it into the build when the project is configured;
// nothing at run time changes it.
extern const char RESOURCES_PATH[];

// Returns RESOURCES_PATH followed by `path` (a name such as "images/hello.bmp",
// '/' separators, no leading '/') in a new 550-byte buffer that the caller
// releases with free().
//
// Returns null, printing nothing, when the buffer cannot be allocated or the
// joined path would not fit in it; SDL_GetError() then says which.
char* resource_path(const char* path);

} // namespace lesson
