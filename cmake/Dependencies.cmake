# Every third-party library comes from a Debian package (scripts/bootstrap).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo)
pkg_check_modules(TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
pkg_check_modules(LIBPNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libavutil)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
find_package(OpenSSL REQUIRED)
find_package(nlohmann_json REQUIRED)

# libyuv ships no usable CMake or pkg-config description.
find_path(LIBYUV_INCLUDE_DIR libyuv.h REQUIRED)
find_library(LIBYUV_LIBRARY yuv REQUIRED)
add_library(libyuv::libyuv UNKNOWN IMPORTED)
set_target_properties(libyuv::libyuv PROPERTIES
  IMPORTED_LOCATION ${LIBYUV_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${LIBYUV_INCLUDE_DIR})

# Debian builds cpp-httplib as a compiled library with TLS and compression
# on; its pkg-config description carries the matching definitions, without
# which the header's classes would not match the library's layout.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
add_library(httplib::httplib INTERFACE IMPORTED)
set_target_properties(httplib::httplib PROPERTIES
  INTERFACE_LINK_LIBRARIES "PkgConfig::HTTPLIB;Threads::Threads;OpenSSL::SSL;OpenSSL::Crypto")

if(VELMORADINE_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(VELMORADINE_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
