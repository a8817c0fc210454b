# Copies SOURCE to DEST unless DEST already exists.
if(NOT EXISTS "${DEST}")
    get_filename_component(dest_dir "${DEST}" DIRECTORY)
    file(MAKE_DIRECTORY "${dest_dir}")
    file(COPY_FILE "${SOURCE}" "${DEST}")
endif()
