include_guard(GLOBAL)

find_program(IDLC_EXECUTABLE idlc REQUIRED)

# Generates the C types of IDL files (paths relative to idl_root) into the
# build tree, keeping their relative paths so that nested includes resolve,
# and compiles them into target. The generated headers are private to target.
function(add_idl_c_types target idl_root)
  set(gen_dir ${CMAKE_CURRENT_BINARY_DIR}/idl_c)
  set(all_idl)
  foreach(idl ${ARGN})
    list(APPEND all_idl ${idl_root}/${idl})
  endforeach()
  foreach(idl ${ARGN})
    string(REGEX REPLACE "\\.idl$" "" stem ${idl})
    add_custom_command(
      OUTPUT ${gen_dir}/${stem}.c ${gen_dir}/${stem}.h
      COMMAND ${CMAKE_COMMAND} -E make_directory ${gen_dir}
      COMMAND ${IDLC_EXECUTABLE} -x final -I ${idl_root} -b ${idl_root} -o ${gen_dir}
              ${idl_root}/${idl}
      DEPENDS ${all_idl}
      COMMENT "idlc ${idl}"
      VERBATIM)
    target_sources(${target} PRIVATE ${gen_dir}/${stem}.c)
  endforeach()
  target_include_directories(${target} PRIVATE ${gen_dir})
  target_link_libraries(${target} PRIVATE CycloneDDS::ddsc)
endfunction()
