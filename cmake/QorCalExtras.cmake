# What the package holds beside the components' libraries and headers: the simulator under
# the name for which a connection asks version 5 or later, the XCP library's description
# of the simulator's image beside it, the image as an ECU description, the design-tool plugin and the sample forms.
if(TARGET qor_ecusim)
  install(FILES $<TARGET_FILE_DIR:qor_ecusim>/SerQorDL.dll
    DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ecusim)
  # The simulator's image as an ECU description, for qorcal-a2l.
  install(FILES ${PROJECT_SOURCE_DIR}/ecusim/ecusim.a2l DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT ecusim)
endif()
if(TARGET qor_xcp)
  install(FILES ${PROJECT_SOURCE_DIR}/xcp/ecusim.xcp DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RENAME libqorxcp.xcp COMPONENT xcp)
endif()
# A Qt Designer plugin folder of the prefix: QT_PLUGIN_PATH=<prefix>/lib/qt6/plugins.
if(TARGET qor_designer)
  install(TARGETS qor_designer LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/qt6/plugins/designer
    COMPONENT map3d)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/app/forms/ DESTINATION ${QOR_INSTALL_DATADIR}/forms
  COMPONENT programs)
