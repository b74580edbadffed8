# kelvane_library(<name> DEPS <targets...>)
# Builds every .cpp/.h of the calling folder into the static library kv_<name>.
function(kelvane_library name)
  cmake_parse_arguments(KL "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE _src CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  add_library(kv_${name} STATIC ${_src})
  target_include_directories(kv_${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(kv_${name} PUBLIC ${KL_DEPS})
endfunction()
