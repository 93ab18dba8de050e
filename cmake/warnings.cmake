# Every target of the project links chati_warnings to get the same warning set.
add_library(chati_warnings INTERFACE)
target_compile_options(chati_warnings INTERFACE -Wall -Wextra)
