# Run as cmake -DENGINE=... -DSOURCE=... -DBINARY=... -P embed_engine.cmake: puts the filled
# completion engine into the driver of each shell.
file(READ ${ENGINE} VANTRY_COMPLETION_ENGINE)
# fish reads \\ and \' inside single quotes as escapes.
string(REPLACE "\\" "\\\\" VANTRY_COMPLETION_ENGINE_FISH "${VANTRY_COMPLETION_ENGINE}")
configure_file(${SOURCE}/vantry.bash.in ${BINARY}/vantry @ONLY)
configure_file(${SOURCE}/_vantry.in ${BINARY}/_vantry @ONLY)
configure_file(${SOURCE}/vantry.fish.in ${BINARY}/vantry.fish @ONLY)
