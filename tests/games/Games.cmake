# Builds the sixteen test games of games.txt from game.s into
# ${CMAKE_BINARY_DIR}/games/<stem>.nes (target korva_test_games) and
# registers each as the data asset DEMOGAMEnn, with games.txt itself as
# DEMOGAMES, so `korva demo` can write them out. Included from
# assets/demo/CMakeLists.txt. The games use the menu's font and converter.
find_program(KORVA_CA65 ca65 REQUIRED)
find_program(KORVA_LD65 ld65 REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(KORVA_MKCHR "${CMAKE_SOURCE_DIR}/assets/menu/mkchr.py")
set(KORVA_FONT "${CMAKE_SOURCE_DIR}/assets/menu/font.txt")
set(games_dir "${CMAKE_CURRENT_LIST_DIR}")
set(games_out "${CMAKE_BINARY_DIR}/games")
file(MAKE_DIRECTORY "${games_out}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${games_dir}/games.txt" "${games_dir}/game.cfg.in")

file(STRINGS "${games_dir}/games.txt" game_lines REGEX "^[0-9]")
set(game_files "")
foreach(line IN LISTS game_lines)
  string(REGEX MATCH "^([0-9]+) +([0-9]+) +([0-9]+) +([0-9]+) +([vh]) +([0-3]) +([a-z0-9-]+) +(.+)$" ok "${line}")
  if(NOT ok)
    message(FATAL_ERROR "games.txt: cannot read \"${line}\"")
  endif()
  set(id "${CMAKE_MATCH_1}")
  set(PRG_KB "${CMAKE_MATCH_2}")
  set(CHR_KB "${CMAKE_MATCH_3}")
  set(mapper "${CMAKE_MATCH_4}")
  set(mirroring "${CMAKE_MATCH_5}")
  set(stem "${CMAKE_MATCH_7}")
  string(STRIP "${CMAKE_MATCH_8}" name)
  math(EXPR number "${id}")
  math(EXPR PRG_SIZE "${PRG_KB} * 1024" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR PRG_START "0x10000 - ${PRG_KB} * 1024" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR CHR_SIZE "${CHR_KB} * 1024" OUTPUT_FORMAT HEXADECIMAL)
  string(REPLACE "0x" "$" PRG_SIZE "${PRG_SIZE}")
  string(REPLACE "0x" "$" PRG_START "${PRG_START}")
  string(REPLACE "0x" "$" CHR_SIZE "${CHR_SIZE}")
  if(mirroring STREQUAL "v")
    set(mirror_v 1)
  else()
    set(mirror_v 0)
  endif()

  set(work "${CMAKE_CURRENT_BINARY_DIR}/game${id}")
  file(MAKE_DIRECTORY "${work}")
  configure_file("${games_dir}/game.cfg.in" "${work}/game.cfg" @ONLY)
  file(CONFIGURE OUTPUT "${work}/game.inc" CONTENT
"; generated from games.txt
GAME_ID = ${number}
PRG_KB = ${PRG_KB}
CHR_KB = ${CHR_KB}
MAPPER = ${mapper}
MIRROR_V = ${mirror_v}
.define GAME_NAME \"${name}\"
")
  math(EXPR banks "${CHR_KB} / 8")
  set(nes "${games_out}/${stem}.nes")
  add_custom_command(
    OUTPUT "${work}/game.chr"
    COMMAND Python3::Interpreter "${KORVA_MKCHR}" "${KORVA_FONT}" "${work}/game.chr"
            --banks ${banks} --signature ${number}
    DEPENDS "${KORVA_MKCHR}" "${KORVA_FONT}"
    COMMENT "Converting the CHR of test game ${id}"
    VERBATIM)
  add_custom_command(
    OUTPUT "${nes}"
    COMMAND "${KORVA_CA65}" -I "${work}" --bin-include-dir "${work}" -o "${work}/game.o" "${games_dir}/game.s"
    COMMAND "${KORVA_LD65}" -C "${work}/game.cfg" -o "${nes}" "${work}/game.o"
    DEPENDS "${games_dir}/game.s" "${work}/game.chr" "${work}/game.cfg" "${work}/game.inc"
    COMMENT "Building test game ${id} (${name})"
    VERBATIM)
  list(APPEND game_files "${nes}")
  set(KORVA_GAME_${id}_FILE "${nes}")
endforeach()
list(LENGTH game_files game_count)
if(NOT game_count EQUAL 16)
  message(FATAL_ERROR "games.txt lists ${game_count} games, the demo needs 16")
endif()
add_custom_target(korva_test_games ALL DEPENDS ${game_files})
set(KORVA_TEST_GAMES_DIR "${games_out}" CACHE INTERNAL "where the built test games lie")

set(n 0)
foreach(nes IN LISTS game_files)
  math(EXPR n "${n} + 1")
  string(LENGTH "${n}" digits)
  if(digits EQUAL 1)
    set(n2 "0${n}")
  else()
    set(n2 "${n}")
  endif()
  korva_add_asset(NAME "DEMOGAME${n2}" FILE "${nes}" DEPENDS korva_test_games)
endforeach()
korva_add_asset(NAME DEMOGAMES FILE "${games_dir}/games.txt")
