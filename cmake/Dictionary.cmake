# The main spelling dictionary "english.txt", made at build time from Debian's American English
# word list (package wamerican) and placed beside the programs in the build folder.
#
# Content: every word of the list as it stands, one per line (LF), in the order the program
# keeps its word lists (ignoring the case of ASCII letters), so that loading need not sort.
# Possessive forms ("Peter's") are kept: the checker would accept most of them through its
# plural rule anyway, but short ones ("he's", "ox's") need them, and the spelling dialog can
# only suggest a possessive that is listed. Entries with letters outside ASCII ("café") are left
# out: the checker never reads such a word, since a byte from 128 up ends a word.
#
# This file is also the generator: the build runs it again in script mode (cmake -P).

if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode: WORD_LIST -> DICTIONARY.
  cmake_policy(SET CMP0007 NEW)
  # ENCODING UTF-8 keeps "café" whole, so that the filter drops it rather than a piece of it.
  file(STRINGS "${WORD_LIST}" words ENCODING UTF-8 REGEX "^[A-Za-z']+$")
  list(LENGTH words count)
  if(count EQUAL 0)
    message(FATAL_ERROR "The word list ${WORD_LIST} holds no words")
  endif()
  list(SORT words CASE INSENSITIVE)
  list(JOIN words "\n" text)
  file(WRITE "${DICTIONARY}.tmp" "${text}\n")
  file(RENAME "${DICTIONARY}.tmp" "${DICTIONARY}")
  return()
endif()

set(TESSALY_WORD_LIST /usr/share/dict/american-english CACHE FILEPATH
    "The word list the main spelling dictionary english.txt is made from")
if(NOT EXISTS "${TESSALY_WORD_LIST}")
  message(FATAL_ERROR
    "The word list ${TESSALY_WORD_LIST} is missing; the spelling dictionary english.txt is made "
    "from it. Install the Debian package 'wamerican' (scripts/install-deps.sh does), or point "
    "TESSALY_WORD_LIST at another list of words, one per line.")
endif()

set(TESSALY_DICTIONARY ${CMAKE_BINARY_DIR}/english.txt)
add_custom_command(
  OUTPUT ${TESSALY_DICTIONARY}
  COMMAND ${CMAKE_COMMAND} -DWORD_LIST=${TESSALY_WORD_LIST} -DDICTIONARY=${TESSALY_DICTIONARY}
          -P ${CMAKE_CURRENT_LIST_FILE}
  DEPENDS ${TESSALY_WORD_LIST} ${CMAKE_CURRENT_LIST_FILE}
  COMMENT "Making the spelling dictionary english.txt"
  VERBATIM)
add_custom_target(tessaly_dictionary ALL DEPENDS ${TESSALY_DICTIONARY})
