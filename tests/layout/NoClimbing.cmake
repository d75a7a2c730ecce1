# No include in the sources climbs out of its folder with "../": that is the one
# way past the include folders that the compiler cannot refuse.
#
#   cmake -DROOT=<source tree> -P NoClimbing.cmake
set(found "")
foreach(top src cli tools tests bench)
  file(GLOB_RECURSE sources ${ROOT}/${top}/*.h ${ROOT}/${top}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} climbing REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\./")
    foreach(line IN LISTS climbing)
      file(RELATIVE_PATH name ${ROOT} ${source})
      string(APPEND found "\n${name}: ${line}")
    endforeach()
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "includes that climb out of their folder:${found}")
endif()
