# Warnings are errors everywhere in the tree, with g++ and clang alike.
add_compile_options(-Wall -Wextra -Werror -Wpedantic -Wnon-virtual-dtor)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # g++ 12 reports std::string copies inlined at -O2/-O3 as overlapping (a false positive of
  # the compiler, not of our code).
  add_compile_options(-Wno-restrict)
endif()
