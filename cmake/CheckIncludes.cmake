cmake_minimum_required(VERSION 3.25)
# Run at build time for one area (cmake -P): every "#include "<folder>/..."
# of its sources must name the area itself or a folder below it. A wrong
# include fails the build here, not in a review.
#   AREA     the area's folder name
#   DIR      its source folder
#   ALLOWED  the folders below it, ;-separated
#   STAMP    the file touched when all is well
file(GLOB_RECURSE sources "${DIR}/*.h" "${DIR}/*.cpp")
set(bad "")
foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[A-Za-z0-9_]+/")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([A-Za-z0-9_]+)/.*" "\\1" folder "${line}")
        if(NOT folder STREQUAL AREA AND NOT folder IN_LIST ALLOWED)
            file(RELATIVE_PATH shown "${DIR}/.." "${source}")
            string(APPEND bad "  ${shown}: ${line}\n")
        endif()
    endforeach()
endforeach()
if(bad)
    message(FATAL_ERROR "${AREA}/ may include only ${AREA}/ and what lies below it (${ALLOWED}):\n${bad}")
endif()
file(TOUCH "${STAMP}")
