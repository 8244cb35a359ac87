# The production as a page (emscripten): vadurer.js, vadurer.wasm, vadurer.worker.js and
# vadurer.data (the pictures and sounds, preloaded into the working folder before WinMain runs).
# The page itself (index.html and its scripts) is copied beside them by scripts/web.sh.
if(NOT VADURER_WEB_ASSETS)
  message(FATAL_ERROR "set VADURER_WEB_ASSETS to the folder the asset maker wrote")
endif()

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
    -sEXPORTED_RUNTIME_METHODS=[callMain,FS,addRunDependency,removeRunDependency]
    --preload-file ${VADURER_WEB_ASSETS}@/)
if(VADURER_WEB_ASYNCIFY)
  list(APPEND VADURER_WEB_LINK -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536)
endif()
target_link_options(vadurer PRIVATE ${VADURER_WEB_LINK})
# The package is linked in: the page is linked again when a file in it changes, or one comes or goes.
file(GLOB VADURER_WEB_ASSET_FILES CONFIGURE_DEPENDS ${VADURER_WEB_ASSETS}/*)
set_property(TARGET vadurer APPEND PROPERTY LINK_DEPENDS ${VADURER_WEB_ASSETS} ${VADURER_WEB_ASSET_FILES})
