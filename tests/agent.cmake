quillbrook_add_test(NAME tst_agentjob SOURCES tst_agentjob.cpp)
# The schedule end to end: the real quillbrook-agentctl against a fake systemctl, and
# systemd-analyze on its units and calendars.
quillbrook_add_test(NAME tst_agentctl SOURCES tst_agentctl.cpp)
add_dependencies(tst_agentctl quillbrook-agentctl)
