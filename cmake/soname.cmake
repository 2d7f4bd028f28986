# Libraries the programs open on first use (dlopen) instead of linking: pkg-config still finds
# them and their headers at configure time, and the soname of the file it names is what the
# program opens, so the build and the running program agree on the library.
#   nb_pkg_soname(CURL curl libcurl.so.4)  sets CURL_SONAME and CURL_SODIR
# after pkg_check_modules(CURL ...); the fallback soname serves when objdump cannot tell. Both
# are cache entries, so the tests' folders see them too.
function(nb_pkg_soname prefix name fallback)
  set(soname ${fallback})
  set(file "")
  foreach(lib IN LISTS ${prefix}_LINK_LIBRARIES)
    get_filename_component(base ${lib} NAME)
    if(base MATCHES "^lib${name}\\.so")
      set(file ${lib})
      break()
    endif()
  endforeach()
  set(libdir "")
  if(file)
    get_filename_component(libdir ${file} DIRECTORY)
    find_program(NB_OBJDUMP NAMES objdump llvm-objdump)
    if(NB_OBJDUMP)
      execute_process(COMMAND ${NB_OBJDUMP} -p ${file} OUTPUT_VARIABLE dump ERROR_QUIET
                      RESULT_VARIABLE failed)
      if(NOT failed AND dump MATCHES "SONAME +([^ \n]+)")
        set(soname ${CMAKE_MATCH_1})
      endif()
    endif()
  endif()
  if(NOT libdir)
    set(libdir ${${prefix}_LIBDIR})
  endif()
  set(${prefix}_SONAME ${soname} CACHE INTERNAL "soname of the ${name} library opened at use")
  set(${prefix}_SODIR ${libdir} CACHE INTERNAL "folder of the ${name} library")
endfunction()
