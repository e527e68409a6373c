# Warnings are errors everywhere in the tree, with g++ and clang alike.
add_compile_options(-Wall -Wextra -Werror -Wpedantic -Wnon-virtual-dtor)
