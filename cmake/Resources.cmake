# res/Configurator.rc is the one source of the resources. On Windows it is linked into the
# executable; on POSIX windres compiles it into a .res file that is embedded as a byte array
# and read by the portable windowing layer.
set(CONFIGURATOR_RC_FILE ${CMAKE_SOURCE_DIR}/res/Configurator.rc)
file(GLOB CONFIGURATOR_RES_DEPENDS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/*)

if(WIN32)
  enable_language(RC)
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/res")
  set_source_files_properties(${CONFIGURATOR_RC_FILE} PROPERTIES OBJECT_DEPENDS "${CONFIGURATOR_RES_DEPENDS}")
else()
  find_program(WINDRES NAMES x86_64-w64-mingw32-windres REQUIRED)
  set(res_file ${CMAKE_BINARY_DIR}/res/Configurator.res)
  set(res_cpp ${CMAKE_BINARY_DIR}/res/CompiledResources.cpp)
  add_custom_command(
    OUTPUT ${res_file}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/res
    COMMAND ${WINDRES} -I${CMAKE_SOURCE_DIR}/res -O res -i ${CONFIGURATOR_RC_FILE} -o ${res_file}
    DEPENDS ${CONFIGURATOR_RES_DEPENDS}
    COMMENT "Compiling resources")
  add_custom_command(
    OUTPUT ${res_cpp}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${res_file} -DOUTPUT=${res_cpp} -P ${CMAKE_SOURCE_DIR}/cmake/EmbedFile.cmake
    DEPENDS ${res_file} ${CMAKE_SOURCE_DIR}/cmake/EmbedFile.cmake
    COMMENT "Embedding compiled resources")
  add_library(configurator_resources STATIC ${res_cpp})
  target_include_directories(configurator_resources PUBLIC ${CMAKE_SOURCE_DIR})
endif()
