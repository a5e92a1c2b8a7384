# Sample.mp4 beside the program, generated at build time by our own writer.
add_executable(ganterly-mksample tools/mksample/main.cpp)
target_link_libraries(ganterly-mksample PRIVATE ganterly_fixture)
add_custom_command(
  OUTPUT ${GANTERLY_BIN}/Sample.mp4
  COMMAND ganterly-mksample ${GANTERLY_BIN}/Sample.mp4
  DEPENDS ganterly-mksample
  COMMENT "Writing Sample.mp4"
  VERBATIM)
add_custom_target(ganterly_sample ALL DEPENDS ${GANTERLY_BIN}/Sample.mp4)
add_dependencies(ganterly ganterly_sample)
