# The copyright and licence notice, one header for every program (velmaris_notice target). The
# same holder and years go into the Debian copyright file (cmake/VelmarisInstall.cmake).
set(VELMARIS_COPYRIGHT_YEARS 2026)
set(VELMARIS_COPYRIGHT_HOLDER "Velmaris developers")

configure_file(${CMAKE_CURRENT_LIST_DIR}/velmaris_notice.h.in
               ${PROJECT_BINARY_DIR}/generated/velmaris_notice.h @ONLY)
add_library(velmaris_notice INTERFACE)
target_include_directories(velmaris_notice INTERFACE ${PROJECT_BINARY_DIR}/generated)
