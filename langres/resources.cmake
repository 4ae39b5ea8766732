# Compiles the files of resources/ (dialog layouts as Qt Designer .ui text,
# menus, the accelerator table) into the module as texts named by their
# file names; GetLanguageResource hands them out. Editing a resource file
# re-runs this at the next build.
file(GLOB DRAVIK_LANGRES_RESOURCE_FILES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/resources/*)
list(FILTER DRAVIK_LANGRES_RESOURCE_FILES EXCLUDE REGEX "~$")
list(SORT DRAVIK_LANGRES_RESOURCE_FILES)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${DRAVIK_LANGRES_RESOURCE_FILES})
set(DRAVIK_LANGRES_RESOURCE_ENTRIES "")
foreach(resource_file ${DRAVIK_LANGRES_RESOURCE_FILES})
  get_filename_component(resource_name ${resource_file} NAME)
  file(READ ${resource_file} resource_text)
  string(FIND "${resource_text}" ")dravik_resource\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${resource_file} contains the text that ends its embedding")
  endif()
  string(APPEND DRAVIK_LANGRES_RESOURCE_ENTRIES
    "    {\"${resource_name}\", R\"dravik_resource(${resource_text})dravik_resource\"},\n")
endforeach()
set(generated ${CMAKE_CURRENT_BINARY_DIR}/langres_resources_generated.cpp)
file(WRITE ${generated}.new
  "// Generated from langres/resources by resources.cmake; do not edit.\n"
  "#include \"langres/shell_resources.h\"\n\n"
  "namespace dravik::langres {\nnamespace {\n"
  "// Sorted by name.\n"
  "constexpr ResourceEntry kResources[] = {\n${DRAVIK_LANGRES_RESOURCE_ENTRIES}};\n"
  "}  // namespace\n\n"
  "ResourceRange Resources() { return {kResources, sizeof kResources / sizeof kResources[0]}; }\n\n"
  "}  // namespace dravik::langres\n")
configure_file(${generated}.new ${generated} COPYONLY)
target_sources(langres PRIVATE ${generated})
