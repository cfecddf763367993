# Run by CPack on the staged files before it builds the package: compresses the manual pages
# as Debian keeps them (gzip -9n, so that the bytes do not depend on the time of the build).
find_program(_tb_gzip gzip REQUIRED)
file(GLOB_RECURSE _tb_pages "${CPACK_TEMPORARY_DIRECTORY}/*/share/man/man*/*.[1-9]")
foreach(_tb_page IN LISTS _tb_pages)
    execute_process(COMMAND ${_tb_gzip} -9nf "${_tb_page}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
