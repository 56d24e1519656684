# Run at install time: links RUVELO_FONT_LINK (relative to the install prefix) to RUVELO_FONT_SOURCE,
# the font of Debian's fonts-comfortaa. The link is relative when both lie in the same top-level
# folder (as /usr/share/ruvelo and /usr/share/fonts do), absolute otherwise, as Debian's policy
# on links asks; it points where the font will be once installed, DESTDIR or not.
set(final_link "${CMAKE_INSTALL_PREFIX}/${RUVELO_FONT_LINK}")
get_filename_component(final_folder "${final_link}" DIRECTORY)
string(REGEX MATCH "^/[^/]+" link_top "${final_folder}")
string(REGEX MATCH "^/[^/]+" font_top "${RUVELO_FONT_SOURCE}")
if(link_top STREQUAL font_top)
  file(RELATIVE_PATH target "${final_folder}" "${RUVELO_FONT_SOURCE}")
else()
  set(target "${RUVELO_FONT_SOURCE}")
endif()
set(link "$ENV{DESTDIR}${final_link}")
get_filename_component(link_folder "${link}" DIRECTORY)
file(MAKE_DIRECTORY "${link_folder}")
file(REMOVE "${link}")
message(STATUS "Installing: ${link} -> ${target}")
file(CREATE_LINK "${target}" "${link}" SYMBOLIC)
