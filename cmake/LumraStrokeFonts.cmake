# lumra_stroke_faces(OUTPUT source ACKNOWLEDGEMENT text): the stroke-face table made by mkstroke
# from Debian's hershey-fonts-data at build time, and the acknowledgement its licence asks to
# distribute with the data. Remade whenever mkstroke or a data file changes.
set(LUMRA_HERSHEY_FACES
  # name      file          (the first is font 0's face)
  futural     futural.jhf
  rowmans     rowmans.jhf
  rowmand     rowmand.jhf
  rowmant     rowmant.jhf
  timesr      timesr.jhf
  timesi      timesi.jhf
  scripts     scripts.jhf
  gothiceng   gothiceng.jhf)
# The signs the framework writes itself (its arithmetic symbols x and /, and a few of its unit
# texts'), from Hershey's simplex mathematical and Greek sets: FILE:CHARACTER=OEM code.
set(LUMRA_HERSHEY_SYMBOLS
  mathlow.jhf:35=158   # multiplication sign
  mathlow.jhf:120=246  # division sign
  mathlow.jhf:33=241   # plus-minus sign
  mathlow.jhf:96=248   # degree sign
  mathlow.jhf:36=250   # middle dot
  greek.jhf:109=230)   # micro sign (Greek mu)

find_path(LUMRA_HERSHEY_DIR NAMES futural.jhf PATHS ${CMAKE_SYSTEM_PREFIX_PATH} PATH_SUFFIXES share/hershey-fonts
          DOC "folder of the Hershey .jhf files (Debian package hershey-fonts-data)" REQUIRED)
find_file(LUMRA_HERSHEY_COPYRIGHT NAMES copyright PATHS ${CMAKE_SYSTEM_PREFIX_PATH}
          PATH_SUFFIXES share/doc/hershey-fonts-data DOC "the Hershey data's Debian copyright file" REQUIRED)

function(lumra_stroke_faces)
  cmake_parse_arguments(ARG "" "OUTPUT;ACKNOWLEDGEMENT" "" ${ARGN})
  set(args)
  set(files ${LUMRA_HERSHEY_COPYRIGHT})
  foreach(symbol IN LISTS LUMRA_HERSHEY_SYMBOLS)
    list(APPEND args --symbol ${LUMRA_HERSHEY_DIR}/${symbol})
    string(REGEX REPLACE ":.*" "" file ${symbol})
    list(APPEND files ${LUMRA_HERSHEY_DIR}/${file})
  endforeach()
  list(LENGTH LUMRA_HERSHEY_FACES n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET LUMRA_HERSHEY_FACES ${i} name)
    list(GET LUMRA_HERSHEY_FACES ${j} file)
    list(APPEND args ${name}=${LUMRA_HERSHEY_DIR}/${file})
    list(APPEND files ${LUMRA_HERSHEY_DIR}/${file})
  endforeach()
  list(REMOVE_DUPLICATES files)
  add_custom_command(
    OUTPUT ${ARG_OUTPUT} ${ARG_ACKNOWLEDGEMENT}
    COMMAND mkstroke --output ${ARG_OUTPUT} --copyright ${LUMRA_HERSHEY_COPYRIGHT}
            --acknowledgement ${ARG_ACKNOWLEDGEMENT} ${args}
    DEPENDS mkstroke ${files}
    COMMENT "Making the stroke-face table from the Hershey fonts"
    VERBATIM)
endfunction()
