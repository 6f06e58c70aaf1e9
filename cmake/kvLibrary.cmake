# kv_library(<name> DEPS <libraries> [FORMS <forms>] [RESOURCES <qrc files>] [EXCLUDE <files>])
# A static library of every .cpp/.h in the calling folder, with that folder (and only
# that folder) as its public include path; DEPS are the lower layers it may use.
# The resources its code reads are compiled once into an object library whose objects
# go straight into every executable that links the library: from a static archive the
# linker would drop them, since nothing refers to their registration.
function(kv_library name)
  cmake_parse_arguments(KV "" "" "DEPS;FORMS;RESOURCES;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(ex ${KV_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${ex})
  endforeach()
  foreach(form ${KV_FORMS})
    list(APPEND sources ${CMAKE_SOURCE_DIR}/forms/${form}.ui)
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${KV_DEPS})
  if(KV_RESOURCES)
    set(qrcs)
    foreach(qrc ${KV_RESOURCES})
      list(APPEND qrcs ${CMAKE_SOURCE_DIR}/resources/${qrc}.qrc)
    endforeach()
    add_library(${name}_resources OBJECT ${qrcs})
    target_link_libraries(${name}_resources PRIVATE Qt5::Core)
    target_sources(${name} INTERFACE $<TARGET_OBJECTS:${name}_resources>)
  endif()
endfunction()
