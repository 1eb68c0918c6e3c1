# cmake -DSOURCE=FILE -DTARGET=FILE -P CopyIfAbsent.cmake: copies SOURCE to TARGET unless
# something is already there.
if(NOT EXISTS "${TARGET}")
    get_filename_component(folder "${TARGET}" DIRECTORY)
    file(MAKE_DIRECTORY "${folder}")
    file(COPY_FILE "${SOURCE}" "${TARGET}")
endif()
