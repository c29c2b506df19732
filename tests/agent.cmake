# The schedule end to end: the real quillbrook-agentctl against a fake systemctl, and
# systemd-analyze on its units and calendars; the tool's reading of documents; both command lines.
quillbrook_add_test(NAME tst_agentctl SOURCES tst_agentctl.cpp
    LIBS quillbrook_agent quillbrook_agentctl)
add_dependencies(tst_agentctl quillbrook-agentctl quillbrook)
