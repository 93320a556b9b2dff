# vexa_module(NAME DEPS ...): one library per src/ folder, built from every
# .cpp file in that folder. A folder without sources yet is an interface target,
# so dependants can already link it.
function(vexa_module name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(sources)
    add_library(vexa_${name} STATIC ${sources} ${headers})
    target_link_libraries(vexa_${name} PUBLIC ${ARG_DEPS})
    target_include_directories(vexa_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  else()
    add_library(vexa_${name} INTERFACE)
    target_link_libraries(vexa_${name} INTERFACE ${ARG_DEPS})
    target_include_directories(vexa_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
  endif()
endfunction()
