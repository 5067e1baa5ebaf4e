# The installed tree: programs in bin/, their data in share/doravine/ (where they look when it is
# not beside them), the desktop entry, icon, AppStream metadata, manual pages and the guide.
set(DORAVINE_APP_ID com.kestrelia.Doravine)
set(DORAVINE_DATA_DESTINATION ${CMAKE_INSTALL_DATADIR}/doravine)
set(DORAVINE_DOC_DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/doravine)

foreach(program doravine doravine-cli doravine-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

foreach(dir Doravine_LANG wykresy samples)
  if(EXISTS ${CMAKE_SOURCE_DIR}/data/${dir})
    install(DIRECTORY data/${dir} DESTINATION ${DORAVINE_DATA_DESTINATION})
  endif()
endforeach()

if(TARGET doravine)
  install(FILES packaging/${DORAVINE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/${DORAVINE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES packaging/${DORAVINE_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES packaging/${DORAVINE_APP_ID}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
endif()

# Manual pages and the changelog compressed as Debian wants them: gzip -9 without a time stamp.
set(compressed)
set(pages doravine-cli doravine-sim)
if(TARGET doravine)
  list(APPEND pages doravine)
endif()
foreach(page IN LISTS pages)
  set(out ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/docs/man/${page}.1 > ${out}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${page}.1 VERBATIM)
  list(APPEND compressed ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
set(changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/changelog > ${changelog}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(doravine_compressed_docs ALL DEPENDS ${compressed} ${changelog})

# The README and the guides keep their pictures beside them, as in the source tree.
install(FILES README.md packaging/copyright ${changelog} DESTINATION ${DORAVINE_DOC_DESTINATION})
install(FILES docs/guide.md docs/przewodnik.md DESTINATION ${DORAVINE_DOC_DESTINATION}/docs)
install(DIRECTORY docs/ DESTINATION ${DORAVINE_DOC_DESTINATION}/docs FILES_MATCHING PATTERN "*.png"
  PATTERN man EXCLUDE)
