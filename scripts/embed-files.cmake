# Turns files into string constants of a C++ source, byte for byte, so the program needs no resource
# files at run time. Run by the build with -DFOLDER=<folder of the files> -DOUTPUT=<source to write>
# -DENTRIES=<name:file,name:file,...>. A file that is not there yet gives an empty constant.
string(REPLACE "," ";" entries "${ENTRIES}")
set(constants "")
foreach(entry IN LISTS entries)
  string(REPLACE ":" ";" pair "${entry}")
  list(GET pair 0 name)
  list(GET pair 1 file)
  set(hex "")
  if(EXISTS ${FOLDER}/${file})
    file(READ ${FOLDER}/${file} hex HEX)
  endif()
  string(REGEX REPLACE "(..)" "\\\\x\\1" bytes "${hex}")
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(APPEND constants "extern const std::string_view ${name};\nconst std::string_view ${name}{\"${bytes}\", ${size}};\n")
endforeach()
file(WRITE ${OUTPUT} "// Generated from ${FOLDER}; do not edit.
#include <string_view>
namespace qf {
${constants}}  // namespace qf
")
