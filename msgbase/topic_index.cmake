# The open topic's index and thread files, and the read state kept in them.
# Portable: builds in both presets.
pelmora_part(
  PORTABLE msgbase_topic_index SOURCES topic_index.cpp LIBS msgbase_portable
  TESTS tests/topic_index_test.cpp
  FUZZ fuzz_topic_index:20000)
pelmora_part(
  PORTABLE msgbase_read_state SOURCES read_state.cpp LIBS msgbase_portable msgbase_conf_portable
  TESTS tests/read_state_test.cpp
  FUZZ fuzz_folder_order:5000)
