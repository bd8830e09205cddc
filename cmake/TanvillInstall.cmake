# The install: the program, its icon set, its desktop entry (which also registers the
# "tanvill:" link scheme) and its AppStream metainfo, where desktops look for them.
include(GNUInstallDirs)

set(tanvill_desktop_dir ${PROJECT_SOURCE_DIR}/resources/desktop)
set(tanvill_icon ${PROJECT_SOURCE_DIR}/resources/icons/com.tanvill.Tanvill.svg)
set(tanvill_icon_sizes 16 24 32 48 64 128 256 512)

# The PNG sizes are drawn from the SVG at build time.
add_executable(tanvill_render_icon ${PROJECT_SOURCE_DIR}/tools/render-icon/main.cpp)
target_link_libraries(tanvill_render_icon PRIVATE Qt6::Gui Qt6::Svg tanvill_warnings)
set(tanvill_icon_pngs)
foreach(size IN LISTS tanvill_icon_sizes)
    list(APPEND tanvill_icon_pngs ${CMAKE_BINARY_DIR}/icons/${size}/com.tanvill.Tanvill.png)
endforeach()
add_custom_command(OUTPUT ${tanvill_icon_pngs}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:tanvill_render_icon> ${tanvill_icon} ${CMAKE_BINARY_DIR}/icons
            ${tanvill_icon_sizes}
    DEPENDS tanvill_render_icon ${tanvill_icon}
    COMMENT "Drawing the application icon"
    VERBATIM)
add_custom_target(tanvill_icons ALL DEPENDS ${tanvill_icon_pngs})

install(TARGETS tanvill RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(size IN LISTS tanvill_icon_sizes)
    install(FILES ${CMAKE_BINARY_DIR}/icons/${size}/com.tanvill.Tanvill.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${tanvill_icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${tanvill_desktop_dir}/com.tanvill.Tanvill.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The desktop entry runs the installed program by its full path, so it works whatever the
# prefix; the prefix is known only when installing (cmake --install --prefix).
install(CODE "
    set(tanvill_desktop_template \"${tanvill_desktop_dir}/com.tanvill.Tanvill.desktop.in\")
    set(tanvill_desktop_output \"${CMAKE_BINARY_DIR}/desktop/com.tanvill.Tanvill.desktop\")
    set(tanvill_program \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tanvill\")
    include(\"${PROJECT_SOURCE_DIR}/cmake/TanvillDesktopEntry.cmake\")
")
install(FILES ${CMAKE_BINARY_DIR}/desktop/com.tanvill.Tanvill.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
