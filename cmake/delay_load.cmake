# Delay-loaded system DLLs for a mingw-w64 program: the DLL is loaded at the first call into it
# instead of before the program starts, so the window shows sooner. The delay import library is
# made from mingw-w64's own import library (every name it exports).
function(tavrolin_delay_load target)
  # The binutils beside the compiler.
  get_filename_component(bin ${CMAKE_CXX_COMPILER} DIRECTORY)
  find_program(TAVROLIN_NM NAMES ${TOOLCHAIN_PREFIX}-nm HINTS ${bin} REQUIRED)
  find_program(TAVROLIN_DLLTOOL NAMES ${TOOLCHAIN_PREFIX}-dlltool HINTS ${bin} REQUIRED)
  foreach(dll ${ARGN})
    set(file ${dll}.dll)
    if(dll STREQUAL "winspool")
      set(file winspool.drv)  # the printing DLL keeps its old extension
    endif()
    # The compiler itself says where its import library is, whatever its sysroot.
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${dll}.a
                    OUTPUT_VARIABLE import_${dll} OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${import_${dll}}" OR NOT EXISTS "${import_${dll}}")
      message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no import library lib${dll}.a")
    endif()
    set(def ${CMAKE_CURRENT_BINARY_DIR}/delay/${dll}.def)
    set(lib ${CMAKE_CURRENT_BINARY_DIR}/delay/lib${dll}_delay.a)
    add_custom_command(OUTPUT ${lib}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/delay
      COMMAND sh -c "{ echo 'LIBRARY ${file}'; echo EXPORTS; '${TAVROLIN_NM}' '${import_${dll}}' | awk '$2==\"I\" && $3 ~ /^__imp_/ {sub(/^__imp_/,\"\",$3); print $3}' | sort -u; } > '${def}'"
      COMMAND ${TAVROLIN_DLLTOOL} --input-def ${def} --dllname ${file} --output-delaylib ${lib}
      DEPENDS ${import_${dll}}
      VERBATIM)
    add_custom_target(${target}_delay_${dll} DEPENDS ${lib})
    add_dependencies(${target} ${target}_delay_${dll})
    # Ahead of the ordinary import libraries, so the program binds to the delayed entries.
    target_link_libraries(${target} PRIVATE ${lib})
  endforeach()
  target_link_libraries(${target} PRIVATE delayimp)
endfunction()
