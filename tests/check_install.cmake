# Installs the build into PREFIX and checks the tree: programs, private library, every help
# page, desktop entry (validated when desktop-file-validate is there), icons, compressed
# manual pages and changelog, copyright; then runs the installed command-line tool.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

set(expected bin/pictavo bin/pictavo-cli share/applications/pictavo.desktop
    share/icons/hicolor/scalable/apps/pictavo.svg share/doc/pictavo/copyright
    share/pictavo/manual/index.html share/pictavo/manual/index-j.html
    share/pictavo/manual/pictavo.css)
foreach(size 16 24 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/pictavo.png)
endforeach()
foreach(page main inportfile easyfilter expertfilter keywordlist keywordedit keywordassist
             thumbnails)
  list(APPEND expected share/pictavo/manual/pv-${page}.html share/pictavo/manual/pv-${page}-j.html)
endforeach()
set(gzipped share/man/man1/pictavo.1.gz share/man/man1/pictavo-cli.1.gz
    share/doc/pictavo/changelog.gz)
foreach(file ${expected} ${gzipped})
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "missing from the installed tree: ${file}")
  endif()
endforeach()
# gzip headers as Debian wants them: no file name, no time, best compression.
foreach(file ${gzipped})
  file(READ ${PREFIX}/${file} header LIMIT 9 HEX)
  if(NOT header STREQUAL "1f8b08000000000002")
    message(FATAL_ERROR "${file} is not compressed with gzip -9n: ${header}")
  endif()
endforeach()

# Every page links only to pages and the stylesheet that are installed, and fetches
# nothing from outside.
file(GLOB pages ${PREFIX}/share/pictavo/manual/*.html)
list(LENGTH pages count)
if(NOT count EQUAL 18)
  message(FATAL_ERROR "expected 18 pages, found ${count}")
endif()
foreach(page ${pages})
  file(READ ${page} text)
  if(text MATCHES "<script" OR text MATCHES "(src|href)=\"(https?:)?//")
    message(FATAL_ERROR "${page} runs a script or fetches from outside")
  endif()
  if(NOT text MATCHES "charset=\"?utf-8")
    message(FATAL_ERROR "${page} does not declare UTF-8")
  endif()
  string(REGEX MATCHALL "href=\"[^\"#]+" links "${text}")
  foreach(link ${links})
    string(REPLACE "href=\"" "" target "${link}")
    if(NOT EXISTS ${PREFIX}/share/pictavo/manual/${target})
      message(FATAL_ERROR "${page} links to ${target}, which is not installed")
    endif()
  endforeach()
endforeach()

find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
  execute_process(COMMAND ${VALIDATE} ${PREFIX}/share/applications/pictavo.desktop
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "desktop entry not valid: ${out}")
  endif()
else()
  message(STATUS "desktop-file-validate not found: desktop entry not validated")
endif()

# The installed tool runs from its own tree (its private library found by its run path).
execute_process(COMMAND ${PREFIX}/bin/pictavo-cli --version RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^pictavo-cli [0-9.]+\n$")
  message(FATAL_ERROR "installed pictavo-cli --version: ${rc} ${out} ${err}")
endif()
file(REMOVE_RECURSE ${PREFIX}/db)
file(MAKE_DIRECTORY ${PREFIX}/db)
execute_process(COMMAND ${PREFIX}/bin/pictavo-cli create ${PREFIX}/db RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS ${PREFIX}/db/photodb.db)
  message(FATAL_ERROR "installed pictavo-cli create: ${rc} ${out} ${err}")
endif()
