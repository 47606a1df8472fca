# lumra_resource_pack(TARGET SYMBOL name NAMESPACE ns PICTURES id file [id file ...])
# A static library TARGET holding a resource pack made by mkpack at build time: the byte array
# ns::name (and ns::name_size), declared in the generated header <TARGET>.h on its include path.
# The pack is remade whenever mkpack or one of the pictures changes.
function(lumra_resource_pack target)
  cmake_parse_arguments(ARG "" "SYMBOL;NAMESPACE" "PICTURES" ${ARGN})
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/${target})
  set(source ${out_dir}/${target}.cpp)
  set(header ${out_dir}/${target}.h)
  set(pictures)
  set(files)
  list(LENGTH ARG_PICTURES n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET ARG_PICTURES ${i} id)
    list(GET ARG_PICTURES ${j} file)
    list(APPEND pictures "${id}=${file}")
    list(APPEND files "${file}")
  endforeach()
  add_custom_command(
    OUTPUT ${source} ${header}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
    COMMAND mkpack --output ${source} --header ${header} --symbol ${ARG_SYMBOL} --namespace ${ARG_NAMESPACE} ${pictures}
    DEPENDS mkpack ${files}
    COMMENT "Packing ${target}"
    VERBATIM)
  add_library(${target} STATIC ${source} ${header})
  target_include_directories(${target} PUBLIC ${out_dir})
endfunction()
