# res/Configurator.rc is the one source of the resources. On Windows it is linked into the
# executable; on POSIX windres compiles it into a .res file that is embedded as a byte array
# (library configurator_resources, read through portable::CompiledResources()) and parsed by the
# portable windowing layer.
#
# Set here for other targets:
#   CONFIGURATOR_RC_FILE   the .rc file
#   CONFIGURATOR_RC_OBJECT the compiled resources (Windows only; targets list it as a source to
#                          link the resources in)
#   CONFIGURATOR_RES_FILE  the compiled .res file (POSIX only; e.g. a seed for the parser's fuzzer)
set(CONFIGURATOR_RC_FILE ${CMAKE_SOURCE_DIR}/res/Configurator.rc)
# The version and the manifest, which carries it, are generated from the project's version into
# CONFIGURATOR_GENERATED_DIR; everything else the .rc pulls in lives beside it (resource.h, the icon).
set(CONFIGURATOR_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_SOURCE_DIR}/cmake/Version.h.in ${CONFIGURATOR_GENERATED_DIR}/Version.h @ONLY)
# The manifest names the image's architecture: x86 for the shipped program (and the resources the
# POSIX build embeds), amd64 for the test-only 64-bit Windows build.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CONFIGURATOR_MANIFEST_ARCH amd64)
else()
  set(CONFIGURATOR_MANIFEST_ARCH x86)
endif()
configure_file(${CMAKE_SOURCE_DIR}/res/Configurator.manifest.in ${CONFIGURATOR_GENERATED_DIR}/Configurator.manifest
               @ONLY)
file(GLOB CONFIGURATOR_RES_DEPENDS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/*)
list(APPEND CONFIGURATOR_RES_DEPENDS ${CONFIGURATOR_GENERATED_DIR}/Version.h
     ${CONFIGURATOR_GENERATED_DIR}/Configurator.manifest)

if(WIN32)
  enable_language(RC)
  # windres looks for the icon and the manifest on its include path.
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CONFIGURATOR_GENERATED_DIR} -I${CMAKE_SOURCE_DIR}/res")
  # Compiled once, in this directory, where the dependencies on the icon and manifest are known
  # (windres reports none itself).
  set_source_files_properties(${CONFIGURATOR_RC_FILE} PROPERTIES OBJECT_DEPENDS "${CONFIGURATOR_RES_DEPENDS}")
  add_library(configurator_rc OBJECT ${CONFIGURATOR_RC_FILE})
  set(CONFIGURATOR_RC_OBJECT $<TARGET_OBJECTS:configurator_rc>)
else()
  find_program(WINDRES NAMES i686-w64-mingw32-windres windres REQUIRED)
  set(CONFIGURATOR_RES_FILE ${CMAKE_BINARY_DIR}/res/Configurator.res)
  set(res_cpp ${CMAKE_BINARY_DIR}/res/CompiledResources.cpp)
  add_custom_command(
    OUTPUT ${CONFIGURATOR_RES_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/res
    COMMAND ${WINDRES} -I${CONFIGURATOR_GENERATED_DIR} -I${CMAKE_SOURCE_DIR}/res -O res -i ${CONFIGURATOR_RC_FILE} -o ${CONFIGURATOR_RES_FILE}
    DEPENDS ${CONFIGURATOR_RES_DEPENDS}
    COMMENT "Compiling resources"
    VERBATIM)
  add_custom_command(
    OUTPUT ${res_cpp}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${CONFIGURATOR_RES_FILE} -DOUTPUT=${res_cpp} -P
            ${CMAKE_SOURCE_DIR}/cmake/EmbedFile.cmake
    DEPENDS ${CONFIGURATOR_RES_FILE} ${CMAKE_SOURCE_DIR}/cmake/EmbedFile.cmake
    COMMENT "Embedding compiled resources"
    VERBATIM)
  add_custom_target(configurator_res DEPENDS ${CONFIGURATOR_RES_FILE})
  add_library(configurator_resources STATIC ${res_cpp})
  target_include_directories(configurator_resources PUBLIC ${CMAKE_SOURCE_DIR})
endif()
