# The build without Qt: the ZIP engine, the platform files that need no Qt and the tests that need
# neither (tests/portable). For Windows the third-party libraries are the static ones
# scripts/setup-windows built; everything is linked statically, so a program runs from its folder
# without the compiler's own DLLs.
find_package(PkgConfig)
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
  find_library(QUORALIS_LIBZIP_FILE NAMES libzip.a REQUIRED)
  find_path(QUORALIS_LIBZIP_INCLUDE zip.h REQUIRED)
  find_library(QUORALIS_LIBDEFLATE_FILE NAMES libdeflate.a REQUIRED)
  find_path(QUORALIS_LIBDEFLATE_INCLUDE libdeflate.h REQUIRED)
  add_library(PkgConfig::LIBZIP INTERFACE IMPORTED)
  target_link_libraries(PkgConfig::LIBZIP INTERFACE ${QUORALIS_LIBZIP_FILE} advapi32)
  target_include_directories(PkgConfig::LIBZIP INTERFACE ${QUORALIS_LIBZIP_INCLUDE})
  target_compile_definitions(PkgConfig::LIBZIP INTERFACE ZIP_STATIC)
  add_library(PkgConfig::LIBDEFLATE INTERFACE IMPORTED)
  target_link_libraries(PkgConfig::LIBDEFLATE INTERFACE ${QUORALIS_LIBDEFLATE_FILE})
  target_include_directories(PkgConfig::LIBDEFLATE INTERFACE ${QUORALIS_LIBDEFLATE_INCLUDE})
  add_link_options(-static -static-libgcc -static-libstdc++)
else()
  pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
  pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
endif()

include(cmake/QuoralisTargets.cmake)
enable_testing()

add_subdirectory(zipengine)
add_subdirectory(src/platform)
add_subdirectory(tests/portable)
