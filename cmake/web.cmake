# The production as a page (emscripten): vadurer.js, vadurer.wasm and vadurer.worker.js. The page
# (index.html and its scripts, copied beside them by scripts/web.sh) writes the production's files
# into the module's memory before it runs: the sounds as it restores them, and the pictures' pack,
# which the module restores (vadurer_unpack, platform/host/web/pack.h).
add_executable(vadurer app/WinMain.cpp platform/host/main.cpp)
target_link_libraries(vadurer PRIVATE host_web)
set_target_properties(vadurer PROPERTIES SUFFIX ".js")
set(VADURER_WEB_LINK
    # The music thread, the audio feeder, and room to spare; made before main so that starting a
    # thread never waits for a worker to load.
    -sPTHREAD_POOL_SIZE=4
    # Fixed: growing shared memory makes every access from JavaScript check for a new buffer.
    -sINITIAL_MEMORY=134217728
    -sEXIT_RUNTIME=1
    -sENVIRONMENT=web,worker
    -sINVOKE_RUN=0
    -sFORCE_FILESYSTEM=1
    -sEXPORTED_RUNTIME_METHODS=[callMain,ccall,FS,addRunDependency,removeRunDependency])
if(VADURER_WEB_ASYNCIFY)
  # The host's calls that wait for the page (platform/host/web/web.cpp).
  list(APPEND VADURER_WEB_LINK -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
       -sASYNCIFY_IMPORTS=[web_next_frame,web_pause,web_dialog])
endif()
target_link_options(vadurer PRIVATE ${VADURER_WEB_LINK})
