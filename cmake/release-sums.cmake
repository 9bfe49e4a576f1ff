# Run by CPack after it made the packages (CPACK_PACKAGE_FILES): writes
# SHA256SUMS beside them in the format of sha256sum, so that
# `sha256sum -c SHA256SUMS` checks a download.
set(sums "")
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  file(SHA256 ${package} digest)
  get_filename_component(name ${package} NAME)
  string(APPEND sums "${digest}  ${name}\n")
endforeach()
file(WRITE ${CPACK_OUTPUT_FILE_PREFIX}/SHA256SUMS "${sums}")
message(STATUS "SHA256SUMS: ${CPACK_OUTPUT_FILE_PREFIX}/SHA256SUMS")
