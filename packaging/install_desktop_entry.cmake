# Run by `cmake --install`: writes the desktop entry with the installed
# program in its Exec line, for the prefix given at install time.
# In: KX_TEMPLATE, KX_WORK (a folder in the build tree).
set(program "${CMAKE_INSTALL_PREFIX}/bin/kravix")
# An Exec argument: "%" doubled; in double quotes with " ` $ \ escaped when it
# holds a reserved character; then the key file's own backslash escaping.
string(REPLACE "%" "%%" exec "${program}")
if(exec MATCHES "[] \t\n\"'\\><~|&;$*?#()`[]")
  string(REGEX REPLACE "([\"`$\\])" "\\\\\\1" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
string(REPLACE "\\" "\\\\" KRAVIX_EXEC "${exec}")
configure_file("${KX_TEMPLATE}" "${KX_WORK}/kravix.desktop" @ONLY)
# file(INSTALL) puts DESTDIR in front itself.
file(INSTALL "${KX_WORK}/kravix.desktop" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")
