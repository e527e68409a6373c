# Warnings are errors everywhere in the tree, with g++ and clang alike.
add_compile_options(-Wall -Wextra -Werror -Wpedantic -Wnon-virtual-dtor)
# GCC 12 reports -Wrestrict inside std::string assignments at -O2 and above where there is no
# overlap (its bug 105651); the optimized build would fail on library code that is correct.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()
