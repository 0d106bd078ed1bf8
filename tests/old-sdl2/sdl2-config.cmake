# Stands in for an SDL2 2.0.3 install, to check that the build refuses it.
if(NOT TARGET SDL2::SDL2)
    add_library(SDL2::SDL2 INTERFACE IMPORTED)
endif()
