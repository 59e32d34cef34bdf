# What a Windows program of this build needs beside itself to start: the MinGW runtime,
# the Qt libraries and the Qt plugins it loads. Copied into bin/ when the build is
# configured, so every program and test there runs as an installed copy would.

# The Qt libraries and plugins a program of the loader loads.
set(VL_QT_DLLS Qt6Core Qt6Gui Qt6Widgets Qt6Test)
set(VL_QT_PLUGINS platforms/qwindows platforms/qoffscreen styles/qwindowsvistastyle)

get_filename_component(VL_QT_PREFIX "${Qt6_DIR}/../../.." ABSOLUTE)

function(vl_mingw_runtime_dlls out)
  set(names libstdc++-6.dll libwinpthread-1.dll)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    list(APPEND names libgcc_s_seh-1.dll)
  else()
    list(APPEND names libgcc_s_dw2-1.dll)
  endif()
  set(files)
  foreach(name ${names})
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                    OUTPUT_VARIABLE file OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${file}" OR NOT EXISTS "${file}")
      message(FATAL_ERROR "The MinGW runtime library ${name} was not found")
    endif()
    get_filename_component(file "${file}" REALPATH)
    list(APPEND files ${file})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

vl_mingw_runtime_dlls(VL_MINGW_DLLS)
set(VL_RUNTIME_DIR ${CMAKE_BINARY_DIR}/bin)
file(COPY ${VL_MINGW_DLLS} DESTINATION ${VL_RUNTIME_DIR})
foreach(dll ${VL_QT_DLLS})
  file(COPY ${VL_QT_PREFIX}/bin/${dll}.dll DESTINATION ${VL_RUNTIME_DIR})
endforeach()
foreach(plugin ${VL_QT_PLUGINS})
  get_filename_component(kind ${plugin} DIRECTORY)
  file(COPY ${VL_QT_PREFIX}/plugins/${plugin}.dll DESTINATION ${VL_RUNTIME_DIR}/${kind})
endforeach()
