# Every kernel that is built once per vector unit goes through
# triotdt_add_kernel; the program then picks a variant after asking the
# processor (kernel_dispatch.h). Included by src/CMakeLists.txt, so that the
# function and TRIOTDT_X86_VECTOR_UNITS are known in every folder of src/.

# The wider vector units are x86-64's. Elsewhere their variants are built as
# the baseline under their own names, and the processor check never picks them.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(TRIOTDT_X86_VECTOR_UNITS ON)
else()
  set(TRIOTDT_X86_VECTOR_UNITS OFF)
endif()

# triotdt_add_kernel(TARGET NAME BODY [OPTIONS flag...]) compiles the kernel
# body BODY (an .inc file, as included from src/) into TARGET once per vector
# unit, as the functions NAMEBaseline, NAMEAvx2 and NAMEAvx512: each in a
# file of its own, made here, with its own flags, so that no wide copy of
# inline code can reach a plainer variant. OPTIONS go to every variant; no
# flag may change a value. The kernels pass vector types only between their
# own inline functions, so GCC's note that such passing changed in GCC 4.6
# concerns no one.
function(triotdt_add_kernel target name body)
  cmake_parse_arguments(ARG "" "" "OPTIONS" ${ARGN})
  set(unit_flags_Baseline "")
  set(unit_flags_Avx2 "")
  set(unit_flags_Avx512 "")
  if(TRIOTDT_X86_VECTOR_UNITS)
    set(unit_flags_Avx2 -mavx2)
    set(unit_flags_Avx512 -mavx512f)
  endif()
  foreach(unit Baseline Avx2 Avx512)
    set(file ${CMAKE_CURRENT_BINARY_DIR}/${name}${unit}.cpp)
    file(CONFIGURE OUTPUT ${file}
         CONTENT "// Made by triotdt_add_kernel: ${body} for ${unit}.\n#define TRIOTDT_KERNEL ${name}${unit}\n#include \"${body}\"\n")
    target_sources(${target} PRIVATE ${file})
    set(flags ${unit_flags_${unit}} ${ARG_OPTIONS} -Wno-psabi)
    set_source_files_properties(${file} PROPERTIES COMPILE_OPTIONS "${flags}")
  endforeach()
endfunction()
