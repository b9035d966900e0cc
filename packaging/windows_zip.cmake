# The Windows deliverable: a ZIP with tidewick.exe, a short readme and the licence side by side,
# with Windows line ends so that Notepad shows them as lines.
if(TARGET tidewick)
  install(TARGETS tidewick RUNTIME DESTINATION . COMPONENT tidewick)
endif()
configure_file(README-windows.txt README-windows.txt @ONLY NEWLINE_STYLE WIN32)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt @ONLY NEWLINE_STYLE WIN32)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README-windows.txt ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt
        DESTINATION . COMPONENT tidewick)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CPACK_SYSTEM_NAME win32)
else()
  set(CPACK_SYSTEM_NAME win64)
endif()
set(CPACK_PACKAGE_FILE_NAME tidewick-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_GENERATOR "ZIP")
